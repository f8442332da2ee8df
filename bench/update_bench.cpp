// varnox-bench: one whole real-time update of the largest image, the console
// tool against the simulated panel on a pseudo-terminal, measured against the
// floor that the update's fixed waits impose.
//
//   varnox-bench [--line] [--cli PATH] [--sim PATH]
//
// By default the simulated panel answers at once and its line takes no time,
// so everything above the fixed waits is the tool's own doing. With --line
// the panel keeps its 38400-baud line and its usual reply delays, and the run
// is also compared with the floor that line imposes.
//
// Prints the figures and exits 0 when the update completed, the panel holds
// the image and every target is met.

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

// Targets of the console tool.
constexpr double kMaxWallOverFloor = 1.02;
constexpr double kMaxCpuShare = 0.01;
constexpr double kMaxPeakMiB = 16.0;

constexpr double kRunTimeout = 900.0;

}  // namespace

int main(int argc, char** argv)
{
    std::string cli = VARNOX_CLI_PATH;
    std::string sim = VARNOX_SIM_PATH;
    bool line = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--line") == 0) line = true;
        else if (std::strcmp(argv[i], "--cli") == 0 && i + 1 < argc) cli = argv[++i];
        else if (std::strcmp(argv[i], "--sim") == 0 && i + 1 < argc) sim = argv[++i];
        else {
            std::fprintf(stderr, "usage: varnox-bench [--line] [--cli PATH] [--sim PATH]\n");
            return 2;
        }
    }

    // The panel serves the tool's identity read after the restart; it is stopped once the tool has ended.
    std::vector<std::string> panel_args = {"--verify", "FWKA1AVRXGAA0I_2x04"};
    if (!line) {
        for (const char* delay : {"byte=0", "read=0", "write=0", "handshake=0", "microkernel=0", "flash=0"}) {
            panel_args.push_back("--delay");
            panel_args.push_back(delay);
        }
    }
    PanelProgram panel(sim, panel_args);
    const std::string port = panel.Port();
    if (port.empty()) {
        std::fprintf(stderr, "the simulated panel gave no port\n%s", panel.Finish(1.0).err.c_str());
        return 1;
    }

    std::printf("varnox-bench: whole update of the largest image (192536 bytes) on %s\n", port.c_str());
    std::printf("simulated panel: %s\n",
                line ? "38400-baud line, usual reply delays" : "answers at once, line takes no time");
    std::fflush(stdout);
    ChildProcess tool;
    std::string error;
    // The simulated panel takes the carried stand-ins; the bench keeps no run record.
    if (!tool.Start({cli, "--allow-stand-in", "--no-record", port}, error)) {
        std::fprintf(stderr, "cannot start %s: %s\n", cli.c_str(), error.c_str());
        return 1;
    }
    const ChildResult run = tool.Finish(kRunTimeout);
    const ChildResult panel_end = panel.Stop();

    const double floor = FixedWaitSeconds();
    const double cpu = run.CpuSeconds();
    const double ratio = run.wall_seconds / floor;
    const double cpu_share = run.wall_seconds > 0 ? cpu / run.wall_seconds : 0;
    const double peak_mib = static_cast<double>(run.usage.ru_maxrss) / 1024.0;
    const bool completed = run.status == 0 && run.out.find("Aggiornamento Terminato\n") != std::string::npos &&
                           run.out.find("PANEL VERIFIED: ") != std::string::npos;
    const bool verified = panel_end.status == 0;

    std::printf("\nfixed waits of the update:\n");
    for (const FixedWait& wait : kLargestImageWaits)
        std::printf("  %5d x %5d ms  %s\n", wait.Count, wait.Milliseconds, wait.What);
    std::printf("\nfloor (fixed waits)    %9.3f s\n", floor);
    std::printf("wall time              %9.3f s   ratio %.4f   (target <= %.2f)\n", run.wall_seconds, ratio,
                kMaxWallOverFloor);
    const PanelTiming timing;
    const double line_floor = LineFloorSeconds(timing.ByteTime, timing.MicroKernelDelay, timing.FlashDelay);
    if (line) {
        std::printf("floor with the line    %9.3f s   ratio %.4f   (fixed waits, plus for the loader packets:\n",
                    line_floor, run.wall_seconds / line_floor);
        for (const LoaderExchange& exchange : kLoaderExchanges)
            std::printf("                         %d x %d bytes on the line and the panel's delay, %s)\n",
                        exchange.Count, exchange.BytesOnLine, exchange.What);
    }
    std::printf("CPU time (user+sys)    %9.3f s   %.3f %% of wall (target <= %.0f %%)\n", cpu, cpu_share * 100,
                kMaxCpuShare * 100);
    std::printf("  user %.3f s, system %.3f s\n", Seconds(run.usage.ru_utime), Seconds(run.usage.ru_stime));
    std::printf("peak memory (maxrss)   %9.2f MiB (target <= %.0f MiB)\n", peak_mib, kMaxPeakMiB);
    std::printf("console tool status    %d%s\n", run.status, run.timed_out ? " (killed: timed out)" : "");
    std::printf("update completed       %s\n", completed ? "yes" : "no");
    std::printf("panel memory = image   %s (simulated panel status %d)\n", verified ? "yes" : "no",
                panel_end.status);
    if (!completed || !verified) {
        std::printf("\n--- console tool stdout ---\n%s--- stderr ---\n%s", run.out.c_str(), run.err.c_str());
        std::printf("--- simulated panel ---\n%s%s", panel_end.out.c_str(), panel_end.err.c_str());
    }

    // The wall-time target is for the tool's own overhead: against the fixed
    // waits with a panel that answers at once, against the line's floor with
    // a line of 38400 baud.
    const double overhead_ratio = line ? run.wall_seconds / line_floor : ratio;
    const bool met = overhead_ratio <= kMaxWallOverFloor && cpu_share <= kMaxCpuShare && peak_mib <= kMaxPeakMiB;
    std::printf("\ntargets %s\n", met ? "met" : "NOT met");
    return completed && verified && met ? 0 : 1;
}
