// varnox-panel-sim: a simulated Varnox panel on a pseudo-terminal.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "firmware/image_provenance.h"
#include "sim/firmware_lookup.h"
#include "sim/image_compare.h"
#include "sim/panel_sim_options.h"
#include "sim/port_announcer.h"
#include "sim/pty_server.h"
#include "sim/sim_panel.h"
#include "trace/wire_transcript.h"

namespace {

using namespace varnox;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDifferent = 3;

void Complain(const std::string& text)
{
    std::fprintf(stderr, "varnox-panel-sim: %s\n", text.c_str());
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "wb"));
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fflush(file.get()) != 0) {
        Complain(path + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

int Run(const std::vector<std::string>& args)
{
    PanelSimOptions options;
    std::string error;
    if (!ParsePanelSimOptions(args, options, error)) {
        Complain(error);
        std::fputs("Try 'varnox-panel-sim --help'.\n", stderr);
        return kExitUsage;
    }
    if (options.Help) {
        std::fputs(PanelSimUsage().c_str(), stdout);
        return kExitOk;
    }
    if (options.Version) {
        std::fputs(VersionText("varnox-panel-sim").c_str(), stdout);
        return kExitOk;
    }
    if (!options.ImpersonateName.empty()) {
        const std::optional<IdentityBytes> identity = IdentityOfImage(options.ImpersonateName);
        if (!identity) {
            Complain("--as " + options.ImpersonateName + ": no carried firmware image of that name");
            return kExitUsage;
        }
        options.Panel.Identity = *identity;
    }
    if (!options.VerifyName.empty() && FindFirmwareImage(options.VerifyName).empty()) {
        Complain("--verify " + options.VerifyName + ": no carried firmware image of that name");
        return kExitUsage;
    }

    // Blocked before anything else, so that a stop signal is never lost.
    const StopSignals signals;
    if (!signals.Ok()) {
        Complain(signals.Error());
        return kExitFailure;
    }
    SteadyClock clock;
    WireTranscript transcript;
    if (!options.TranscriptPath.empty() &&
        !transcript.Open(options.TranscriptPath, clock.Now(), "panel events", error)) {
        Complain(error);
        return kExitFailure;
    }
    PtyServer server;
    if (!server.Open(error)) {
        Complain(error);
        return kExitFailure;
    }
    // A script reads the first line to find the port (or follows the link).
    PortAnnouncer announcer(options.LinkPath);
    if (!announcer.Announce(server.SlavePath(), error)) {
        Complain(error);
        return kExitFailure;
    }

    SimPanel panel(options.Panel);
    int status = kExitOk;
    if (server.Serve(panel, clock, signals, transcript, announcer, options.ExitAfterRestart, error) ==
        PtyServer::Stop::Failed) {
        Complain(error);
        status = kExitFailure;
    }

    if (!options.DumpEeprom.empty() && !WriteFile(options.DumpEeprom, panel.Memory().Eeprom))
        status = kExitFailure;
    if (!options.DumpFlash.empty() && !WriteFile(options.DumpFlash, panel.Memory().Flash))
        status = kExitFailure;
    if (!options.VerifyName.empty()) {
        const ImageComparison comparison = CompareWithImage(panel.Memory(), FindFirmwareImage(options.VerifyName));
        if (comparison.Equal) {
            Complain("verify " + options.VerifyName + ": the panel holds the image");
        } else {
            Complain("verify " + options.VerifyName + ": different, " + comparison.FirstMismatch);
            if (status == kExitOk)
                status = kExitDifferent;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
