// varnox-patch: the window. "COMn=DEVICE" arguments map menu items to devices.

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "setup/program_setup.h"
#include "ui/core/window_command_line.h"
#include "ui/qt/box_presenter.h"
#include "ui/qt/main_window.h"

int main(int argc, char** argv)
{
    using namespace varnox;
    // Answers that need no display come before Qt starts: --help, --version,
    // and bad arguments among which Qt has no option of its own ("-...") to
    // take out of argv.
    const std::vector<std::string> given(argv + 1, argv + argc);
    WindowCommandLine command = ParseWindowCommandLine(given);
    const bool qt_options = std::any_of(given.begin(), given.end(), [](const std::string& arg) {
        return arg.size() > 1 && arg[0] == '-' && arg != "-h" && arg != "--help" && arg != "--version";
    });
    std::unique_ptr<QApplication> app;
    if (command.What == WindowCommandLine::Action::OpenWindow ||
        (command.What == WindowCommandLine::Action::UsageError && qt_options)) {
        app = std::make_unique<QApplication>(argc, argv);
        command = ParseWindowCommandLine({argv + 1, argv + argc});
    }
    const StartupAnswer answer = AnswerWindowCommandLine(command, "varnox-patch");
    if (answer.ExitStatus >= 0) {
        std::fputs(answer.Out.c_str(), stdout);
        std::fputs(answer.Err.c_str(), stderr);
        return answer.ExitStatus;
    }

    ProgramSetup setup(command.Ports, PortNumbering::System);
    if (std::string error; !setup.Start(command.Run, error)) {
        command.What = WindowCommandLine::Action::UsageError;
        command.Error = error;
        const StartupAnswer refused = AnswerWindowCommandLine(command, "varnox-patch");
        std::fputs(refused.Err.c_str(), stderr);
        return refused.ExitStatus;
    }
    ModalBoxPresenter boxes;

    MainWindow window(setup.Opener(), setup.Time(), boxes);
    setup.Prepare(window.Engine());
    window.show();
    return app->exec();
}
