// Takes the documentation's pictures of the window's menus and of the verdict
// band, against the simulated panel in simulated time (a whole run takes a
// moment). Run it on an X server:
//
//   xvfb-run -a ui_menu_screenshots docs/screenshot-linux-menu.png docs/screenshot-linux-band.png
//
// The first shows the OPTIONS menu open with FAST UPDATE chosen (VERIFY
// EEPROM then checked and greyed), the second the window after a completed run.

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "core/clock.h"
#include "sim/sim_device.h"
#include "sim/sim_panel.h"
#include "ui/qt/box_presenter.h"
#include "ui/qt/main_window.h"
#include "ui/qt/settings_store.h"

namespace {

// The window with `menu` open over it: a popup is a window of its own, so it
// is drawn onto the window's picture where it lies on the screen.
QPixmap WithMenuOpen(varnox::MainWindow& form, QMenu& menu)
{
    QPixmap shot = form.grab();
    const QPixmap popup = menu.grab();
    QPainter painter(&shot);
    painter.drawPixmap(form.mapFromGlobal(menu.pos()), popup);
    return shot;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MENU.png BAND.png\n", argv[0]);
        return 2;
    }
    const QString menu_file = QString::fromLocal8Bit(argv[1]);
    const QString band_file = QString::fromLocal8Bit(argv[2]);

    varnox::SimPanel panel;
    varnox::SimClock clock;
    varnox::SimPortOpener opener(panel, clock);
    varnox::ModalBoxPresenter boxes;
    QTemporaryDir folder;
    varnox::QtSettingsStore settings(folder.filePath(QStringLiteral("varnox-patch.ini")));
    varnox::RunOptions given;
    given.AllowStandIn = given.NoRecord = true;  // the simulated panel's stand-ins; no record
    given.Fast = true;
    varnox::MainWindow form(opener, clock, boxes);
    form.Core().SetSettingsStore(settings, given);
    form.show();

    int status = 1;
    QMenu* options = form.menuBar()->findChild<QMenu*>(QStringLiteral("OPTIONS"));
    QTimer::singleShot(500, &form, [&] {
        const QRect title = form.menuBar()->actionGeometry(options->menuAction());
        options->popup(form.menuBar()->mapToGlobal(title.bottomLeft()));
        QTimer::singleShot(500, &form, [&] {
            const bool saved = WithMenuOpen(form, *options).save(menu_file);
            options->close();
            std::printf("%s %s\n", saved ? "saved" : "not saved", qPrintable(menu_file));
            form.UpdateButton->click();
        });
    });
    QObject::connect(&form, &varnox::MainWindow::RunFinished, &form, [&] {
        QTimer::singleShot(300, &form, [&] {
            if (form.grab().save(band_file)) {
                std::printf("saved %s\n", qPrintable(band_file));
                status = 0;
            }
            app.quit();
        });
    });
    QTimer::singleShot(120000, &app, &QApplication::quit);  // never wait for ever
    app.exec();
    return status;
}
