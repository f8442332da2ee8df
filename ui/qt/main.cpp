// varnox-patch: the window. "COMn=DEVICE" arguments map menu items to devices.

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "comm/linux/serial_linux.h"
#include "comm/port_map.h"
#include "core/clock.h"
#include "ui/core/command_line.h"
#include "ui/qt/box_presenter.h"
#include "ui/qt/main_window.h"
#include "ui/qt/settings_store.h"

int main(int argc, char** argv)
{
    using namespace varnox;
    // Answers that need no display come before Qt starts: --help, --version,
    // and bad arguments among which Qt has no option of its own ("-...") to
    // take out of argv.
    const std::vector<std::string> given(argv + 1, argv + argc);
    CommandLine command = ParseCommandLine(given);
    const bool qt_options = std::any_of(given.begin(), given.end(), [](const std::string& arg) {
        return arg.size() > 1 && arg[0] == '-' && arg != "-h" && arg != "--help" && arg != "--version";
    });
    std::unique_ptr<QApplication> app;
    if (command.What == CommandLine::Action::OpenWindow ||
        (command.What == CommandLine::Action::UsageError && qt_options)) {
        app = std::make_unique<QApplication>(argc, argv);
        command = ParseCommandLine({argv + 1, argv + argc});
    }
    const StartupAnswer answer = AnswerCommandLine(command, "varnox-patch");
    if (answer.ExitStatus >= 0) {
        std::fputs(answer.Out.c_str(), stdout);
        std::fputs(answer.Err.c_str(), stderr);
        return answer.ExitStatus;
    }

    PosixPortOpener opener(PortMap::Discover());
    for (const PortOverride& item : command.Ports)
        opener.Pin(item.Port, item.Path);
    SteadyClock clock;
    ModalBoxPresenter boxes;
    QtSettingsStore settings;
    ApplyRunEnvironment(command.Run);

    MainWindow window(opener, clock, boxes);
    // The window's trace: the command line's, else the one kept in the settings.
    const std::string trace_error = window.Core().SetSettingsStore(settings, command.Run);
    if (!trace_error.empty() && !command.Run.TraceFile.empty()) {
        command.What = CommandLine::Action::UsageError;
        command.Error = "--trace: " + trace_error;
        const StartupAnswer refused = AnswerCommandLine(command, "varnox-patch");
        std::fputs(refused.Err.c_str(), stderr);
        return refused.ExitStatus;
    }
    window.show();
    return app->exec();
}
