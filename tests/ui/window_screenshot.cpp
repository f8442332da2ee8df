// Takes a picture of the real window part-way through an update, for the
// documentation. Run it on an X server (xvfb-run) against a panel on a serial
// device, e.g. the simulated one:
//
//   varnox-panel-sim --as FWKAELVRXGAA0I_2x04 &     # prints /dev/pts/N
//   xvfb-run -a ui_window_screenshot /dev/pts/N docs/screenshot-linux.png
//
// It presses CONTINUE, waits until the flash is being written, grabs the
// window, then stops the update at its next packet and quits.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "comm/linux/serial_linux.h"
#include "comm/port_map.h"
#include "core/clock.h"
#include "ui/qt/box_presenter.h"
#include "ui/qt/main_window.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DEVICE OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[2]);

    varnox::PosixPortOpener opener{varnox::PortMap{}};
    // Pinned: the menu's re-probe maps the ports it finds, and COM1 must stay the panel.
    opener.Pin(1, argv[1]);
    varnox::SteadyClock clock;
    varnox::ModalBoxPresenter boxes;
    varnox::MainWindow form(opener, clock, boxes);
    // Always against the simulated panel: its stand-ins may be written, and no run is recorded.
    form.Engine().Options.AllowStandIn = true;
    form.Engine().Options.NoRecord = true;
    form.show();

    int status = 1;
    QTimer::singleShot(500, &form, [&] { form.UpdateButton->click(); });
    // A few flash packets into the flash write, the window shows every field.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
        if (form.FlashAddressField->text().toInt() < 0x4400)
            return;
        poll.stop();
        if (form.grab().save(output)) {
            std::printf("saved %s\n", qPrintable(output));
            status = 0;
        }
        form.Engine().RequestStop();
    });
    poll.start(100);
    QObject::connect(&form, &varnox::MainWindow::RunFinished, &app, &QApplication::quit);
    QTimer::singleShot(600000, &app, &QApplication::quit);  // never wait for ever
    app.exec();
    return status;
}
