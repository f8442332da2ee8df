// The main window at start-up: caption, size, controls, log, port menu and
// the port probe; the gauge's text; and how CONTINUE looks enabled and
// disabled.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "button_look.h"
#include "comm/linux/serial_linux.h"
#include "comm/port_map.h"
#include "firmware/language_selector.h"
#include "recording_boxes.h"
#include "sim/sim_device.h"
#include "tests/comm/fake_device.h"
#include "tests/support/pty_pair.h"
#include "ui/core/port_probe.h"
#include "ui/core/window_placement.h"
#include "ui/qt/gauge.h"
#include "ui/qt/main_window.h"

using namespace varnox;

namespace {

// Descriptors of this process open on `path`.
int OpenDescriptorsOn(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files)) {
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target)
            ++count;
    }
    return count;
}

QStringList StartupLog()
{
    return {QString(),
            QString::fromUtf8("Connettere La centrale alla porta seriale ed inserire il ponticello "
                              "programmazione da PC sulla centrale"),
            QString(),
            QStringLiteral("Connect Panel to serial port and insert PC programming Jumper on panel"),
            QString(),
            QString::fromUtf8("ATTENZIONE ! : I dati di programmazione verranno cancellati e la "
                              "centrale sarà riportata ai dati di fabbrica"),
            QString(),
            QStringLiteral("WARNING!: Panel configuration will be deleted and panel will be dafulted "
                           "to factory settings")};
}

QList<bool> EnabledItems(const MainWindow& form)
{
    QList<bool> enabled;
    for (int port = 1; port <= kMenuPorts; ++port)
        enabled << form.PortItem(port)->isEnabled();
    return enabled;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void startupShowsTheInstructionsAndAnIdleWindow()
    {
        SimPanel panel;
        SimClock clock;
        SimPortOpener opener(panel, clock, 3);
        testing::RecordingBoxes boxes;
        MainWindow form(opener, clock, boxes);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QCOMPARE(form.objectName(), QStringLiteral("Form1"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Varnox PATCH 2.04 h "));
        QCOMPARE(form.centralWidget()->size(), QSize(633, 362));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(form.font().pointSize(), 8);

        QCOMPARE(form.LogLines(), StartupLog());
        QCOMPARE(form.UpdateButton->text(), QStringLiteral("CONTINUE"));
        QVERIFY(form.UpdateButton->isEnabled());
        QVERIFY(form.UpdateButton->font().bold());
        QVERIFY(form.ProgressGauge->isHidden());
        QCOMPARE(form.ProgressGauge->text(), QStringLiteral("0%"));
        QVERIFY(form.LanguageLabel->isHidden());
        QCOMPARE(form.LanguageLabel->text(), QStringLiteral("CHANGE PANEL LANGUAGE TO"));
        QCOMPARE(form.SelectedPort(), 1);
        QVERIFY(boxes.shown.empty());

        for (QLineEdit* field :
             {form.PanelTypeField, form.EepromAddressField, form.FlashAddressField, form.ErrorCounterField}) {
            QVERIFY(field->text().isEmpty());
            QVERIFY(!field->isEnabled());
        }
        QVERIFY(!form.PanelTypeField->font().italic());
        QVERIFY(form.EepromAddressField->font().italic());
        QVERIFY(form.FlashAddressField->font().italic());
        QVERIFY(form.ErrorCounterField->font().italic());

        QVERIFY(form.LanguageSelector->isHidden());
        QVERIFY(form.LanguageSelector->isEditable());
        QCOMPARE(form.LanguageSelector->count(), 20);
        for (int i = 0; i < 20; ++i)
            QCOMPARE(form.LanguageSelector->itemText(i), QString::fromLatin1(kLanguageSelector[i].Text));
        QCOMPARE(form.LanguageSelector->currentIndex(), -1);
        QCOMPARE(form.Engine().SelectedPort.load(), 1);

        QVERIFY(form.InfoBox->isVisible());
        QCOMPARE(form.InfoBox->title(), QStringLiteral("INFO BOX"));
        QCOMPARE(form.FlashAddressLabel->text(), QStringLiteral(" FLASH PROGRAMMING ADDRESS"));

        QVERIFY(form.Log->font().bold());
        QCOMPARE(form.Log->font().pointSize(), 10);
        QCOMPARE(form.Log->palette().color(QPalette::Text), QColor(Qt::red));
        QCOMPARE(form.Log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(form.Log->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QVERIFY(!form.Log->isReadOnly());

        QVERIFY(form.LogoError().isEmpty());
        QCOMPARE(form.LogoImage->pixmap().size(), QSize(105, 85));
        QVERIFY(!form.windowIcon().isNull());

        // The window opens at its designed place, or as near as the screen allows.
        const QRect available = form.screen()->availableGeometry();
        const ScreenRect place =
            PlaceFrame(form.frameGeometry().width(), form.frameGeometry().height(),
                       {available.left(), available.top(), available.width(), available.height()});
        QCOMPARE(form.pos(), QPoint(place.Left, place.Top));
    }

    void controlsSitWhereTheWindowDefinesThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::newRow("Shape1") << "Shape1" << QRect(16, 16, 113, 105);
        QTest::newRow("Gauge1") << "Gauge1" << QRect(0, 337, 633, 25);
        QTest::newRow("Bevel1") << "Bevel1" << QRect(8, 8, 129, 121);
        QTest::newRow("Image1") << "Image1" << QRect(32, 24, 105, 86);
        QTest::newRow("Button5") << "Button5" << QRect(8, 136, 185, 33);
        QTest::newRow("Messaggio") << "Messaggio" << QRect(232, 8, 385, 217);
        QTest::newRow("DEBUG_BOX") << "DEBUG_BOX" << QRect(16, 232, 601, 97);
        QTest::newRow("panelTypebox") << "panelTypebox" << QRect(8, 40, 241, 21);
        QTest::newRow("Address") << "Address" << QRect(520, 8, 73, 21);
        QTest::newRow("FlashAddress") << "FlashAddress" << QRect(520, 32, 73, 21);
        QTest::newRow("ErrorCounter") << "ErrorCounter" << QRect(520, 58, 75, 21);
    }
    void controlsSitWhereTheWindowDefinesThem()
    {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        SimPanel panel;
        SimClock clock;
        SimPortOpener opener(panel, clock);
        testing::RecordingBoxes boxes;
        MainWindow form(opener, clock, boxes);
        form.show();
        auto* control = form.findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->geometry(), place);
        QVERIFY(form.ErrorsLabel->geometry().topLeft() == QPoint(464, 61));
        QCOMPARE(form.LanguageSelector->geometry().topLeft(), QPoint(8, 192));
        QCOMPARE(form.LanguageSelector->width(), 185);
    }

    void tabOrderStartsWithTheButton()
    {
        SimPanel panel;
        SimClock clock;
        SimPortOpener opener(panel, clock);
        testing::RecordingBoxes boxes;
        MainWindow form(opener, clock, boxes);
        QCOMPARE(form.UpdateButton->nextInFocusChain(), form.Log);
        QWidget* after_log = form.Log->nextInFocusChain();
        while (form.Log->isAncestorOf(after_log))  // its own viewport
            after_log = after_log->nextInFocusChain();
        QCOMPARE(after_log, form.LanguageSelector);
        QVERIFY(form.Log->tabChangesFocus());
    }

    void portMenuSelectsThePortOfTheNextRun()
    {
        // Only COM3 leads anywhere.
        SimPanel panel;
        SimClock clock;
        SimPortOpener opener(panel, clock, 3);
        testing::RecordingBoxes boxes;
        MainWindow form(opener, clock, boxes);

        QCOMPARE(form.PortMenu()->title(), QStringLiteral("SERIAL PORT SELECTION"));
        const QList<QAction*> items = form.PortMenu()->actions();
        QCOMPARE(items.size(), 8);
        for (int port = 1; port <= 8; ++port) {
            QAction* item = items[port - 1];
            QCOMPARE(item, form.PortItem(port));
            QCOMPARE(item->objectName(), QStringLiteral("COM%1").arg(port) + QLatin1Char('1'));
            QCOMPARE(item->text(), QStringLiteral("COM%1").arg(port));
            QVERIFY(!item->isCheckable());
            const QString device = QString::fromStdString(opener.DeviceName(port));
            if (!device.isEmpty()) {
                QCOMPARE(item->toolTip(), device);
                QCOMPARE(item->statusTip(), device);
            }
        }
        QCOMPARE(EnabledItems(form), (QList<bool>{false, false, true, false, false, false, false, false}));
        QCOMPARE(form.SelectedPort(), 1);  // whatever the probe found
        QVERIFY(!opener.Held());

        form.PortItem(3)->trigger();
        QCOMPARE(form.SelectedPort(), 3);
        form.PortItem(5)->trigger();  // greyed out: cannot be chosen
        QCOMPARE(form.SelectedPort(), 3);
        form.SelectPort(8);
        QCOMPARE(form.SelectedPort(), 8);
        form.SelectPort(1);
        QCOMPARE(form.SelectedPort(), 1);
    }

    void probeEnablesExactlyThePortsThatOpenAndClosesThemAgain()
    {
        testing::PtyPair first;
        testing::PtyPair second;
        PortMap map;
        map.Map(1, first.SlavePath());
        map.Map(2, "/nonexistent/ttyVARNOX2");
        map.Map(3, second.SlavePath());
        map.Map(4, "/dev/null");  // opens, but is no serial line
        map.Map(5, "/nonexistent/ttyVARNOX5");
        map.Map(6, "/nonexistent/ttyVARNOX6");
        map.Map(7, "/nonexistent/ttyVARNOX7");
        map.Map(8, "/nonexistent/ttyVARNOX8");
        PosixPortOpener opener(map);
        SteadyClock clock;
        testing::RecordingBoxes boxes;

        const QString first_path = QString::fromStdString(first.SlavePath());
        const QString second_path = QString::fromStdString(second.SlavePath());
        const int first_before = OpenDescriptorsOn(first_path);
        const int second_before = OpenDescriptorsOn(second_path);
        const int null_before = OpenDescriptorsOn(QStringLiteral("/dev/null"));

        MainWindow form(opener, clock, boxes);
        QCOMPARE(EnabledItems(form), (QList<bool>{true, false, true, false, false, false, false, false}));
        QVERIFY(boxes.shown.empty());  // no box during the probe
        QCOMPARE(form.PortItem(2)->toolTip(), QStringLiteral("/nonexistent/ttyVARNOX2"));

        // Every device the probe opened is closed again...
        QCOMPARE(OpenDescriptorsOn(first_path), first_before);
        QCOMPARE(OpenDescriptorsOn(second_path), second_before);
        QCOMPARE(OpenDescriptorsOn(QStringLiteral("/dev/null")), null_before);
        // ...so the update can open it, exclusively.
        std::string reason;
        auto port = opener.OpenPort(1, reason);
        QVERIFY2(port != nullptr, reason.c_str());
        port.reset();
        port = opener.OpenPort(3, reason);
        QVERIFY2(port != nullptr, reason.c_str());
    }

    void theMenuIsProbedAgainEachTimeItOpens()
    {
        SimPanel panel;
        SimClock clock;
        SimPortOpener opener(panel, clock, 3);
        // Port 3's adapter is not there (or busy) at start-up.
        opener.FailNextOpens(1, "No such file or directory", OpenRefusal::Missing);
        testing::RecordingBoxes boxes;
        MainWindow form(opener, clock, boxes);
        QVERIFY(!form.PortItem(3)->isEnabled());
        QVERIFY(form.BeyondItems().empty());

        // Plugged in since, together with an adapter the system numbered COM12.
        PortInfo com3;
        com3.Number = 3;
        com3.Device = opener.DeviceName(3);
        com3.Maker = "FTDI";
        com3.Product = "FT232R USB UART";
        PortInfo com12;
        com12.Number = 12;
        com12.Device = "\\\\.\\COM12";
        com12.Product = "USB-SERIAL CH340";
        form.Core().SetPortLister([=] { return std::vector<PortInfo>{com3, com12}; });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.PortMenu()->popup(form.mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(form.PortMenu()->isVisible());
        form.PortMenu()->hide();

        QCOMPARE(EnabledItems(form), (QList<bool>{false, false, true, false, false, false, false, false}));
        QCOMPARE(form.PortItem(3)->toolTip(), QString::fromStdString(com3.Device + " (FTDI FT232R USB UART)"));
        QCOMPARE(form.PortItem(3)->objectName(), QStringLiteral("COM31"));
        // A separator, then COM12, chosen directly.
        QCOMPARE(form.BeyondItems().size(), std::size_t{2});
        QVERIFY(form.BeyondItems()[0]->isSeparator());
        QAction* high = form.BeyondItems()[1];
        QCOMPARE(high->text(), QStringLiteral("COM12"));
        QCOMPARE(high->toolTip(), QString::fromStdString(com12.Device + " (USB-SERIAL CH340)"));
        high->trigger();
        QCOMPARE(form.SelectedPort(), 12);

        // Unplugged again: the next opening drops its item.
        form.Core().SetPortLister([=] { return std::vector<PortInfo>{com3}; });
        form.PortMenu()->popup(form.mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(form.PortMenu()->isVisible());
        form.PortMenu()->hide();
        QVERIFY(form.BeyondItems().empty());
        QCOMPARE(form.PortMenu()->actions().size(), kMenuPorts);
    }

    void probeSetsNoLineAndKeepsNoDevice()
    {
        testing::FakeLine line;
        line.fail_set_settings = true;  // never asked: the probe sets no line
        testing::FakeOpener opener(line);
        const auto usable = ProbeMenuPorts(opener);
        for (bool item : usable)
            QVERIFY(item);
        QCOMPARE(line.opens, 8);
        QCOMPARE(line.open_now, 0);

        testing::FakeLine good;
        testing::FakeOpener some(good);
        some.missing = 2;
        const auto found = ProbeMenuPorts(some);
        QCOMPARE(std::count(found.begin(), found.end(), true), 7);
        QVERIFY(!found[1]);
        QCOMPARE(good.open_now, 0);
    }

    void gaugeShowsTheTruncatedPercentage_data()
    {
        QTest::addColumn<int>("progress");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("text");
        QTest::newRow("start") << 0 << 1500 << "0%";
        QTest::newRow("truncated, not rounded") << 999 << 1500 << "66%";
        QTest::newRow("last microKernel packet") << 1472 << 1500 << "98%";
        QTest::newRow("last flash packet") << 0x13F80 << 81919 << "99%";
        QTest::newRow("full") << 81919 << 81919 << "100%";
        QTest::newRow("maximum 0") << 0 << 0 << "0%";
        QTest::newRow("beyond the maximum") << 2000 << 1500 << "100%";
        QTest::newRow("negative") << -5 << 1500 << "0%";
    }
    void gaugeShowsTheTruncatedPercentage()
    {
        QFETCH(int, progress);
        QFETCH(int, maximum);
        QFETCH(QString, text);
        Gauge gauge;
        gauge.SetProgress(progress);  // before the maximum, as the phases do
        gauge.SetMaximum(maximum);
        QCOMPARE(gauge.text(), text);
        QCOMPARE(gauge.Progress(), progress);
    }

    void continueKeepsItsColourWhileEnabledAndIsGreyedWhenDisabled()
    {
        SimPanel panel;
        SimClock clock;
        SimPortOpener opener(panel, clock);
        testing::RecordingBoxes boxes;
        MainWindow form(opener, clock, boxes);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPalette look = form.UpdateButton->palette();
        const QColor title = testing::TitleColour(form);
        QCOMPARE(look.color(QPalette::Active, QPalette::ButtonText), title);
        QCOMPARE(look.color(QPalette::Inactive, QPalette::ButtonText), title);
        // Disabled, it has the greyed text of every other disabled button.
        QCOMPARE(look.color(QPalette::Disabled, QPalette::ButtonText),
                 form.palette().color(QPalette::Disabled, QPalette::ButtonText));
        QVERIFY(look.color(QPalette::Disabled, QPalette::ButtonText) != title);

        QVERIFY(testing::CaptionPixelsInTitleColour(form) > 0);
        // The engine disables and enables it (on the window's thread, at once).
        form.Core().Bridge().SetButtonEnabled(false);
        QVERIFY(!form.UpdateButton->isEnabled());
        QCOMPARE(testing::CaptionPixelsInTitleColour(form), 0);
        form.Core().Bridge().SetButtonEnabled(true);
        QVERIFY(form.UpdateButton->isEnabled());
        QVERIFY(testing::CaptionPixelsInTitleColour(form) > 0);
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
