// varnox-patch: the window. "COMn=DEVICE" arguments map menu items to devices.

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "setup/program_setup.h"
#include "ui/core/window_command_line.h"
#include "ui/qt/box_presenter.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_options.h"
#include "ui/qt/settings_store.h"
#include "update/trace_target.h"

namespace {

int Answer(const varnox::StartupAnswer& answer)
{
    std::fputs(answer.Out.c_str(), stdout);
    std::fputs(answer.Err.c_str(), stderr);
    return answer.ExitStatus;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace varnox;
    // The whole command line is checked before Qt starts, which needs a
    // display: --help, --version and usage errors are answered without one.
    // Qt's own options (-platform NAME, ...) are left to Qt.
    WindowCommandLine command = ParseWindowCommandLine(WithoutQtOptions({argv + 1, argv + argc}));
    if (const StartupAnswer answer = AnswerWindowCommandLine(command, kProgramName); answer.ExitStatus >= 0)
        return Answer(answer);
    ProgramSetup setup(command.Ports, PortNumbering::System);
    RunOptions untraced = command.Run;
    untraced.TraceFile.clear();
    RunOptions given;
    std::string error;
    if (setup.Start(untraced, error)) {
        given = setup.Options();
        given.TraceFile = command.Run.TraceFile;
        error = TraceTargetRefusal(given);
    }
    if (!error.empty()) {
        command.What = WindowCommandLine::Action::UsageError;
        command.Error = error;
        return Answer(AnswerWindowCommandLine(command, kProgramName));
    }

    QApplication app(argc, argv);
    ModalBoxPresenter boxes;
    QtSettingsStore settings;
    MainWindow window(setup.Opener(), setup.Time(), boxes);
    // The window's trace goes through its core, where WRITE TRACE... can end
    // it or choose another: the command line's, else the one kept.
    if (const std::string trace_error = window.Core().SetSettingsStore(settings, given);
        !trace_error.empty() && !given.TraceFile.empty()) {
        command.What = WindowCommandLine::Action::UsageError;
        command.Error = "--trace: " + trace_error;
        return Answer(AnswerWindowCommandLine(command, kProgramName));
    }
    window.show();
    return app.exec();
}
