// varnox-patch: the window. "COMn=DEVICE" arguments map menu items to devices.

#include <QApplication>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "comm/port_map.h"
#include "comm/serial_linux.h"
#include "core/clock.h"
#include "ui/core/command_line.h"
#include "ui/qt/box_presenter.h"
#include "ui/qt/main_window.h"

int main(int argc, char** argv)
{
    using namespace varnox;
    // --help and --version need no display, so they are answered before Qt
    // starts; other arguments may hold Qt's own options, which QApplication
    // takes out of argv first.
    CommandLine command = ParseCommandLine({argv + 1, argv + argc});
    std::unique_ptr<QApplication> app;
    if (command.What == CommandLine::Action::OpenWindow || command.What == CommandLine::Action::UsageError) {
        app = std::make_unique<QApplication>(argc, argv);
        command = ParseCommandLine({argv + 1, argv + argc});
    }
    const StartupAnswer answer = AnswerCommandLine(command, "varnox-patch");
    if (answer.ExitStatus >= 0) {
        std::fputs(answer.Out.c_str(), stdout);
        std::fputs(answer.Err.c_str(), stderr);
        return answer.ExitStatus;
    }

    PortMap ports = PortMap::Discover();
    for (const PortOverride& item : command.Ports)
        ports.Map(item.Port, item.Path);
    PosixPortOpener opener(std::move(ports));
    SteadyClock clock;
    ModalBoxPresenter boxes;

    MainWindow window(opener, clock, boxes);
    window.show();
    return app->exec();
}
