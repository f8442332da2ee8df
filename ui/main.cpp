// varnox-patch: the window. "COMn=DEVICE" arguments map menu items to devices.

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "comm/port_map.h"
#include "comm/serial_linux.h"
#include "core/clock.h"
#include "ui/box_presenter.h"
#include "ui/command_line.h"
#include "ui/form1.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);  // takes Qt's own options out of argv

    std::vector<std::string> args(argv + 1, argv + argc);
    const varnox::CommandLine command = varnox::ParseCommandLine(args);
    const std::string usage = varnox::UsageText("varnox-patch");
    if (!command.Error.empty()) {
        std::fprintf(stderr, "varnox-patch: %s\n%s", command.Error.c_str(), usage.c_str());
        return 2;
    }
    if (command.Help) {
        std::fputs(usage.c_str(), stdout);
        return 0;
    }

    varnox::PortMap ports = varnox::PortMap::Discover();
    for (const varnox::PortOverride& item : command.Ports)
        ports.Map(item.Port, item.Path);
    varnox::PosixPortOpener opener(std::move(ports));
    varnox::SteadyClock clock;
    varnox::ModalBoxPresenter boxes;

    varnox::TForm1 form(opener, clock, boxes);
    form.show();
    return app.exec();
}
