// varnox-bench: one whole real-time update of the largest image, the console
// tool against the simulated panel on a pseudo-terminal, measured against the
// floor that the update's waits and its line impose.
//
//   varnox-bench [--line | --fast] [--cli PATH] [--sim PATH]
//
// By default the simulated panel answers at once and its line takes no time,
// so everything above the fixed waits is the tool's own doing. With --line
// the panel keeps its 38400-baud line and its usual reply delays, and the run
// is also compared with the floor that line imposes. With --fast two updates
// run one after the other, the default and --fast, each against a panel on a
// 38400-baud line that answers at once but for its 5 ms EEPROM write time.
//
// Prints the figures and exits 0 when every update completed, the panel holds
// the image each time and every target is met.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/wait_floor.h"
#include "sim/panel_config.h"
#include "tests/support/child_process.h"
#include "tests/support/panel_program.h"

namespace {

using namespace varnox;
using namespace varnox::testing;

// Targets of the console tool: the default mode's own overhead, and the fast mode.
constexpr double kMaxWallOverFloor = 1.02;
constexpr double kMaxFastWallOverFloor = 1.10;
constexpr double kMaxFastWall = 100.0;
constexpr double kMaxCpuShare = 0.01;
constexpr double kMaxPeakMiB = 16.0;

constexpr double kRunTimeout = 900.0;

enum class Setup { Instant, Line, Prompt };

struct Measured {
    ChildResult run;
    bool completed = false;
    bool verified = false;
    bool met = false;
};

// One update of the largest image; prints its figures against `floor`.
Measured RunOnce(const std::string& cli, const std::string& sim, Setup setup, bool fast, double floor,
                 double max_ratio, double max_wall)
{
    // The panel serves the tool's identity read after the restart; it is stopped once the tool has ended.
    std::vector<std::string> panel_args = {"--verify", "FWKA1AVRXGAA0I_2x04"};
    std::vector<const char*> delays;
    if (setup == Setup::Instant)
        delays = {"byte=0", "read=0", "write=0", "handshake=0", "microkernel=0", "flash=0"};
    if (setup == Setup::Prompt)
        delays = {"read=0", "write=0", "handshake=0", "microkernel=0", "flash=0"};
    for (const char* delay : delays) {
        panel_args.push_back("--delay");
        panel_args.push_back(delay);
    }

    Measured m;
    PanelProgram panel(sim, panel_args);
    const std::string port = panel.Port();
    if (port.empty()) {
        std::fprintf(stderr, "the simulated panel gave no port\n%s", panel.Finish(1.0).err.c_str());
        return m;
    }
    std::printf("\n== %s mode on %s\n", fast ? "fast" : "default", port.c_str());
    std::fflush(stdout);
    // The simulated panel takes the carried stand-ins; the bench keeps no run record.
    std::vector<std::string> tool_args = {cli, "--allow-stand-in", "--no-record", port};
    if (fast)
        tool_args.push_back("--fast");
    ChildProcess tool;
    std::string error;
    if (!tool.Start(tool_args, error)) {
        std::fprintf(stderr, "cannot start %s: %s\n", cli.c_str(), error.c_str());
        return m;
    }
    m.run = tool.Finish(kRunTimeout);
    const ChildResult panel_end = panel.Stop();
    const ChildResult& run = m.run;

    const double cpu = run.CpuSeconds();
    const double ratio = run.wall_seconds / floor;
    const double cpu_share = run.wall_seconds > 0 ? cpu / run.wall_seconds : 0;
    const double peak_mib = static_cast<double>(run.usage.ru_maxrss) / 1024.0;
    m.completed = run.status == 0 && run.out.find("Aggiornamento Terminato\n") != std::string::npos &&
                  run.out.find("PANEL VERIFIED: ") != std::string::npos;
    m.verified = panel_end.status == 0;

    std::printf("floor                  %9.3f s\n", floor);
    std::printf("wall time              %9.3f s   ratio %.4f   (target <= %.2f", run.wall_seconds, ratio,
                max_ratio);
    if (max_wall > 0)
        std::printf(", wall <= %.0f s", max_wall);
    std::printf(")\n");
    std::printf("CPU time (user+sys)    %9.3f s   %.3f %% of wall (target <= %.0f %%)\n", cpu, cpu_share * 100,
                kMaxCpuShare * 100);
    std::printf("  user %.3f s, system %.3f s\n", Seconds(run.usage.ru_utime), Seconds(run.usage.ru_stime));
    std::printf("peak memory (maxrss)   %9.2f MiB (target <= %.0f MiB)\n", peak_mib, kMaxPeakMiB);
    std::printf("console tool status    %d%s\n", run.status, run.timed_out ? " (killed: timed out)" : "");
    std::printf("update completed       %s\n", m.completed ? "yes" : "no");
    std::printf("panel memory = image   %s (simulated panel status %d)\n", m.verified ? "yes" : "no",
                panel_end.status);
    if (!m.completed || !m.verified) {
        std::printf("\n--- console tool stdout ---\n%s--- stderr ---\n%s", run.out.c_str(), run.err.c_str());
        std::printf("--- simulated panel ---\n%s%s", panel_end.out.c_str(), panel_end.err.c_str());
    }
    m.met = ratio <= max_ratio && (max_wall <= 0 || run.wall_seconds <= max_wall) && cpu_share <= kMaxCpuShare &&
            peak_mib <= kMaxPeakMiB;
    std::printf("targets %s\n", m.met ? "met" : "NOT met");
    std::fflush(stdout);
    return m;
}

void PrintFixedWaits()
{
    std::printf("\nfixed waits of the default mode:\n");
    for (const FixedWait& wait : kLargestImageWaits)
        std::printf("  %5d x %5d ms  %s\n", wait.Count, wait.Milliseconds, wait.What);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string cli = VARNOX_CLI_PATH;
    std::string sim = VARNOX_SIM_PATH;
    Setup setup = Setup::Instant;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--line") == 0)
            setup = Setup::Line;
        else if (std::strcmp(argv[i], "--fast") == 0)
            setup = Setup::Prompt;
        else if (std::strcmp(argv[i], "--cli") == 0 && i + 1 < argc)
            cli = argv[++i];
        else if (std::strcmp(argv[i], "--sim") == 0 && i + 1 < argc)
            sim = argv[++i];
        else {
            std::fprintf(stderr, "usage: varnox-bench [--line | --fast] [--cli PATH] [--sim PATH]\n");
            return 2;
        }
    }

    const PanelTiming timing;
    std::printf("varnox-bench: whole update of the largest image (192536 bytes)\n");
    PrintFixedWaits();

    if (setup == Setup::Prompt) {
        std::printf("simulated panel: 38400-baud line, answers at once, %.0f ms EEPROM write time\n",
                    timing.EepromWriteTime * 1000);
        const double fixed_floor = LineFloorSeconds(timing.ByteTime, 0, 0);
        const double fast_floor = FastFloorSeconds(timing.ByteTime, timing.EepromWriteTime);
        std::printf("default floor: the fixed waits and the loader packets' bytes on the line\n");
        std::printf(
            "fast floor: every exchange's bytes on the line, the write time of each EEPROM write,\n"
            "the loader's pauses and 8 s waits:\n");
        for (const LineExchange& exchange : kFastExchanges)
            std::printf("  %5d x %3d bytes%s  %s\n", exchange.Count, exchange.BytesOnLine,
                        exchange.Stores ? " + write time" : "              ", exchange.What);
        const Measured fixed = RunOnce(cli, sim, setup, false, fixed_floor, kMaxWallOverFloor, 0);
        const Measured fast = RunOnce(cli, sim, setup, true, fast_floor, kMaxFastWallOverFloor, kMaxFastWall);
        std::printf("\nside by side          default      fast\n");
        std::printf("wall                 %8.3f s  %8.3f s\n", fixed.run.wall_seconds, fast.run.wall_seconds);
        std::printf("floor                %8.3f s  %8.3f s\n", fixed_floor, fast_floor);
        std::printf("CPU                  %8.3f s  %8.3f s\n", fixed.run.CpuSeconds(), fast.run.CpuSeconds());
        const bool all =
            fixed.completed && fixed.verified && fixed.met && fast.completed && fast.verified && fast.met;
        return all ? 0 : 1;
    }

    const bool line = setup == Setup::Line;
    std::printf("simulated panel: %s\n",
                line ? "38400-baud line, usual reply delays" : "answers at once, line takes no time");
    // The wall-time target is for the tool's own overhead: against the fixed
    // waits with a panel that answers at once, against the line's floor with
    // a line of 38400 baud.
    const double line_floor = LineFloorSeconds(timing.ByteTime, timing.MicroKernelDelay, timing.FlashDelay);
    if (line) {
        std::printf("floor with the line: the fixed waits, plus for the loader packets:\n");
        for (const LoaderExchange& exchange : kLoaderExchanges)
            std::printf("  %d x %d bytes on the line and the panel's delay, %s\n", exchange.Count,
                        exchange.BytesOnLine, exchange.What);
        std::printf("fixed waits alone      %9.3f s\n", FixedWaitSeconds());
    }
    const Measured m =
        RunOnce(cli, sim, setup, false, line ? line_floor : FixedWaitSeconds(), kMaxWallOverFloor, 0);
    return m.completed && m.verified && m.met ? 0 : 1;
}
