// varnox-patch-cli: the update of the window's one button, for benches,
// scripts and machines without a screen.

#include <signal.h>
#include <unistd.h>

#include "cli/command_line.h"
#include "cli/console_window.h"
#include "cli/interruptible_clock.h"
#include "cli/update_runner.h"
#include "comm/port_map.h"
#include "comm/serial_linux.h"
#include "update/update_engine.h"

namespace {

constexpr const char* kProgram = "varnox-patch-cli";
constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char** argv)
{
    using namespace varnox;
    const CommandLine line = ParseCommandLine(argc, argv);
    if (line.action == CommandLine::Action::Help) {
        WriteAll(STDOUT_FILENO, UsageText(kProgram));
        return 0;
    }
    if (line.action == CommandLine::Action::UsageError) {
        WriteAll(STDERR_FILENO, std::string(kProgram) + ": " + line.error + "\n\n" + UsageText(kProgram));
        return kUsageError;
    }

    // A log reader that goes away must not end an update half way.
    ::signal(SIGPIPE, SIG_IGN);
    BlockHandledSignals();

    PortMap map;
    int port = 1;
    if (!line.device_path.empty()) {
        map.Map(port, line.device_path);
    } else {
        map = PortMap::Discover();
        port = line.port_number;
    }
    PosixPortOpener opener(map);
    InterruptibleClock clock;
    ConsoleWindow window(STDOUT_FILENO, STDERR_FILENO, ::isatty(STDERR_FILENO) == 1, clock);
    UpdateEngine engine(opener, clock, window);
    engine.SelectedPort.store(port);

    const int status = RunSupervised(engine, clock, window);
    window.Finish();
    return status;
}
