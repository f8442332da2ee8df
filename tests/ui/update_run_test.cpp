// Whole updates through the window against the simulated panel in simulated
// time: what the window shows at each ending, what it refuses while a run is
// under way, and that it keeps serving its event loop throughout.

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>

#include "button_look.h"
#include "firmware/panel_identity.h"
#include "protocol/memory_requests.h"
#include "recording_boxes.h"
#include "sim/image_compare.h"
#include "sim/sim_device.h"
#include "tests/support/engine_for_tests.h"
#include "ui/core/window_bridge.h"
#include "ui/qt/main_window.h"
#include "ui/qt/settings_store.h"
#include "update/update_texts.h"

using namespace varnox;

namespace {

constexpr int kRunTimeoutMs = 300000;

// The longest time between two turns of the event loop while it runs, and
// the gauge texts seen at those turns.
class LoopGapMeter {
public:
    explicit LoopGapMeter(const Gauge& gauge)
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this, &gauge] {
            max_gap_ms_ = std::max(max_gap_ms_, since_.restart());
            if (gauge.isVisible())
                gauge_texts_.insert(gauge.text());
        });
        since_.start();
        timer_.start();
    }
    qint64 MaxGapMs() const { return max_gap_ms_; }
    std::size_t GaugeTextsSeen() const { return gauge_texts_.size(); }

private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 max_gap_ms_ = 0;
    std::set<QString> gauge_texts_;
};

// Simulated time in which the long pauses of a run (a second or more) also
// take a fifth of their length in real time: the two 8 s waits of the
// bootloader phase become 1.6 s, long enough to show whether the window is
// serviced during them.
class PacedClock final : public Clock {
public:
    explicit PacedClock(SimClock& time) : time_(time) {}
    double Now() override { return time_.Now(); }
    void Pause(int milliseconds) override
    {
        if (milliseconds >= 1000)
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds / 5));
        time_.Pause(milliseconds);
    }

private:
    SimClock& time_;
};

enum class Pace { Simulated, Paced };

// A window on the simulated panel; the panel answers on port `panel_port`.
struct Bench {
    explicit Bench(PanelConfig config = {}, int panel_port = 1, Pace pace = Pace::Simulated)
        : panel(std::move(config)),
          opener(panel, clock, panel_port),
          form(opener, pace == Pace::Paced ? static_cast<Clock&>(paced) : clock, boxes)
    {
        testing::PrepareForTests(form.Engine());
        form.show();
    }

    // Presses CONTINUE and waits until the window shows the run's end.
    bool Run()
    {
        QSignalSpy finished(&form, &MainWindow::RunFinished);
        form.UpdateButton->click();
        return finished.wait(kRunTimeoutMs);
    }

    SimPanel panel;
    SimClock clock;
    PacedClock paced{clock};
    SimPortOpener opener;
    testing::RecordingBoxes boxes;
    MainWindow form;
};

std::string DefaultPanelName()
{
    PanelIdentity identity;
    const PanelConfig config;
    std::copy(config.Identity.begin(), config.Identity.end(), identity.Bytes.begin());
    return BuildFirmwareName(identity, -1).value_or("");
}

QStringList Lines(std::initializer_list<const char*> lines)
{
    QStringList out;
    for (const char* line : lines)
        out << QString::fromUtf8(line);
    return out;
}

QStringList OpeningLines(const std::string& name)
{
    return Lines({kUpdateStarted}) << QString::fromStdString(name)
                                   << Lines({"", kUpdatingEeprom, "", kPleaseWait});
}

}  // namespace

class UpdateRunTest : public QObject {
    Q_OBJECT
private slots:
    void wholeUpdateShowsEveryStepAndEndsWithTheButtonDisabled()
    {
        // Declared before the window, which may still report to them while it closes.
        std::set<QString> percentages;
        bool gauge_seen = false;
        Bench bench({}, 1, Pace::Paced);
        MainWindow& form = bench.form;
        connect(form.ProgressGauge, &QProgressBar::valueChanged, &form, [&] {
            percentages.insert(form.ProgressGauge->text());
            gauge_seen = gauge_seen || form.ProgressGauge->isVisible();
        });
        LoopGapMeter meter(*form.ProgressGauge);

        QVERIFY(bench.Run());

        const std::string name = DefaultPanelName();
        QVERIFY(!name.empty());
        QCOMPARE(form.Engine().LastEnding.load(), UpdateEnding::Completed);
        const QStringList expected = OpeningLines(name)
                                     << Lines({kDownloadingMicroKernel, kPleaseWait, kErasingFlash, kWritingFlash,
                                               kPleaseWait, "", kFlashUpdatedItalian, kFlashUpdatedEnglish, "",
                                               kRestartWait, "", kUpdateFinished, kProgrammingEnd, ""})
                                     << "" << QString::fromStdString(kVerifiedItalian + name)
                                     << QString::fromStdString(kVerifiedEnglish + name);
        QCOMPARE(form.LogLines(), expected);
        QCOMPARE(form.PanelTypeField->text(), QString::fromStdString(name));
        QCOMPARE(form.FlashAddressField->text(), QStringLiteral("81792"));
        QVERIFY(form.ErrorCounterField->text().isEmpty());  // no failed attempt

        // The last EEPROM chunk's address: the image's EEPROM part in 20-byte chunks.
        const uint32_t image_end = form.Engine().LastImage().ImageEnd;
        const uint32_t last_chunk = 0x24000 + (image_end - 0x24000) / 20 * 20;
        QCOMPARE(form.EepromAddressField->text(), QString::number(last_chunk - 0x20000));

        // The gauge moved through the phases and ends hidden at the last flash packet.
        QVERIFY(gauge_seen);
        QVERIFY2(percentages.size() > 50, qPrintable(QString::number(percentages.size())));
        QVERIFY(form.ProgressGauge->isHidden());
        QCOMPARE(form.ProgressGauge->text(), QStringLiteral("99%"));

        QVERIFY(!form.UpdateButton->isEnabled());
        QCOMPARE(testing::CaptionPixelsInTitleColour(form), 0);  // greyed, not live-looking
        QVERIFY(form.PortMenu()->menuAction()->isEnabled());
        QVERIFY(!form.RunInProgress());
        QVERIFY(bench.boxes.shown.empty());
        QVERIFY(!bench.opener.Held());  // port closed

        // The panel holds the image, and was sent exactly one end packet.
        const auto& image = form.Engine().LastImage().ImageBuffer;
        const ImageComparison comparison =
            CompareWithImage(bench.panel.Memory(), {image.data(), std::size_t{image_end} + 1});
        QVERIFY2(comparison.Equal, comparison.FirstMismatch.c_str());
        QCOMPARE(bench.panel.CountOf(RequestKind::Flash), std::size_t{528});
        QCOMPARE(bench.panel.CountOf(RequestKind::End), std::size_t{1});

        // The run paused 1.6 s twice in real time; the window never stopped
        // turning, and its turns saw the gauge at many places.
        qInfo("longest gap between event-loop turns: %lld ms; gauge texts seen: %zu",
              static_cast<long long>(meter.MaxGapMs()), meter.GaugeTextsSeen());
        QVERIFY(meter.MaxGapMs() < 500);
        QVERIFY(meter.GaugeTextsSeen() >= 3);

        // A completed update leaves the button dead: pressing it starts nothing.
        form.UpdateButton->click();
        form.StartUpdate();
        QVERIFY(!form.RunInProgress());
    }

    void noPanelShowsTheErrorBoxAndLeavesTheButtonEnabled()
    {
        Bench bench({}, 2);  // COM1 leads nowhere
        MainWindow& form = bench.form;
        QVERIFY(bench.Run());

        QCOMPARE(form.Engine().LastEnding.load(), UpdateEnding::IdentityReadFailed);
        QCOMPARE(bench.boxes.shown.size(), std::size_t{1});
        const BoxRequest& box = bench.boxes.shown[0].Box;
        QCOMPARE(box.Icon, QMessageBox::Critical);
        QCOMPARE(box.Title, QStringLiteral("Error"));
        QCOMPARE(box.Text, QStringLiteral("Impossibile accedere alla porta seriale"));
        QVERIFY(!box.Detail.isEmpty());  // the system's reason
        QVERIFY(bench.boxes.shown[0].RunInProgress);

        QCOMPARE(form.LogLines(), Lines({"", kNoAnswerText, ""}));
        // The gauge, left at 0%, gives its place to the verdict.
        QCOMPARE(form.ProgressGauge->text(), QStringLiteral("0%"));
        QVERIFY(form.VerdictBand->isVisible() && !form.ProgressGauge->isVisible());
        QCOMPARE(form.VerdictBand->text(), QStringLiteral("CENTRALE NON MODIFICATA , PANEL UNCHANGED"));
        QCOMPARE(form.VerdictBand->geometry(), QRect(0, 337, 633, 25));
        QVERIFY(form.UpdateButton->isEnabled());
        QVERIFY(form.PortMenu()->menuAction()->isEnabled());

        // Pressing again runs again: the log is emptied and written anew.
        QVERIFY(bench.Run());
        QCOMPARE(form.LogLines(), Lines({"", kNoAnswerText, ""}));
        QCOMPARE(bench.boxes.shown.size(), std::size_t{2});
    }

    void standInRefusalEndsWithTheButtonEnabled()
    {
        Bench bench;
        MainWindow& form = bench.form;
        form.Engine().Options.AllowStandIn = false;
        QVERIFY(bench.Run());

        QCOMPARE(form.Engine().LastEnding.load(), UpdateEnding::StandInRefused);
        QCOMPARE(form.LogLines(), Lines({"", kStandInItalian, kStandInEnglish}));
        QVERIFY(bench.boxes.shown.empty());
        QCOMPARE(bench.panel.Requests().size(), std::size_t{1});  // the identity read only
        QVERIFY(form.UpdateButton->isEnabled());
        QVERIFY(form.PortMenu()->menuAction()->isEnabled());
        QVERIFY(form.PanelTypeField->text().isEmpty());
    }

    void failedEepromPhaseDisablesTheButton()
    {
        PanelConfig config;
        config.Faults.push_back({PanelFaultType::NoAnswer, RequestKind::ReadEeprom, 1, 1});
        Bench bench(config);
        MainWindow& form = bench.form;
        QVERIFY(bench.Run());

        QCOMPARE(form.Engine().LastEnding.load(), UpdateEnding::EepromFailed);
        QCOMPARE(form.LogLines(), OpeningLines(DefaultPanelName()) << Lines({"", kEepromError, kProgrammingEnd}));
        QVERIFY(form.ProgressGauge->isHidden());
        QVERIFY(!form.UpdateButton->isEnabled());
        QVERIFY(form.PortMenu()->menuAction()->isEnabled());
        QVERIFY(bench.boxes.shown.empty());
        QCOMPARE(bench.panel.CountOf(RequestKind::WriteEeprom), std::size_t{0});
    }

    void failedMicroKernelShowsThePlainBoxWhileTheRunWaits()
    {
        PanelConfig config;
        config.Faults.push_back({PanelFaultType::WrongAck, RequestKind::MicroKernel, 1, 4});
        Bench bench(config);
        bench.boxes.hold_ms = 100;  // the user reads the box for a moment
        MainWindow& form = bench.form;
        QVERIFY(bench.Run());

        QCOMPARE(form.Engine().LastEnding.load(), UpdateEnding::MicroKernelFailed);
        QCOMPARE(bench.boxes.shown.size(), std::size_t{1});
        const testing::RecordedBox& shown = bench.boxes.shown[0];
        QCOMPARE(shown.Box.Icon, QMessageBox::NoIcon);
        QCOMPARE(shown.Box.Title, QString::fromLatin1(kProgramName));
        QCOMPARE(shown.Box.Text, QString::fromUtf8(kMicroKernelFailedBox));
        QVERIFY(shown.RunInProgress);
        // Everything the run wrote before the box is on screen when it opens.
        QCOMPARE(shown.LogAtShow.back(), QString::fromLatin1(kPleaseWait));
        QCOMPARE(shown.LogAtShow.size(), form.LogLines().size());

        QVERIFY(form.ProgressGauge->isHidden());
        QVERIFY(form.UpdateButton->isEnabled());
        QCOMPARE(bench.panel.CountOf(RequestKind::Flash), std::size_t{0});
    }

    void duringARunTheWindowRefusesAnotherRunAPortChangeAndClosing()
    {
        // Paced: the panel's restart wait keeps the run under way for 1.6 s
        // after the flash is written, so "half-way" is never missed.
        Bench bench({}, 1, Pace::Paced);
        MainWindow& form = bench.form;
        QSignalSpy finished(&form, &MainWindow::RunFinished);
        form.UpdateButton->click();

        QVERIFY(form.RunInProgress());
        QVERIFY(!form.UpdateButton->isEnabled());
        QCOMPARE(testing::CaptionPixelsInTitleColour(form), 0);
        QVERIFY(!form.PortMenu()->menuAction()->isEnabled());

        form.UpdateButton->click();  // greyed out
        form.StartUpdate();          // and refused even when called directly
        form.PortItem(1)->trigger();
        form.SelectPort(3);
        QCOMPARE(form.SelectedPort(), 1);

        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QCOMPARE(bench.boxes.shown.size(), std::size_t{1});
        const BoxRequest& refusal = bench.boxes.shown[0].Box;
        QCOMPARE(refusal.Icon, QMessageBox::Warning);
        QVERIFY(refusal.Text.contains(QStringLiteral("An update is in progress")));
        QVERIFY(refusal.Text.contains(QStringLiteral("Aggiornamento in corso")));

        // Half-way through, the same holds.
        QTRY_VERIFY_WITH_TIMEOUT(form.LogLines().contains(QString::fromLatin1(kWritingFlash)), kRunTimeoutMs);
        QVERIFY(form.RunInProgress());
        QVERIFY(!form.UpdateButton->isEnabled());
        QVERIFY(!form.close());
        form.SelectPort(2);
        QCOMPARE(form.SelectedPort(), 1);

        QVERIFY(finished.wait(kRunTimeoutMs));
        QCOMPARE(finished.count(), 1);
        // One run only: the identity was read once before and once after the restart, the panel restarted once.
        QCOMPARE(bench.panel.CountOf(RequestKind::ReadMemory), std::size_t{2});
        QCOMPARE(bench.panel.CountOf(RequestKind::End), std::size_t{1});
        QCOMPARE(form.Engine().LastEnding.load(), UpdateEnding::Completed);

        // Afterwards the menu works again and the window may close.
        form.SelectPort(1);
        QCOMPARE(form.SelectedPort(), 1);
        QVERIFY(form.PortMenu()->menuAction()->isEnabled());
        QVERIFY(form.close());
    }

    void anExceptionInARunIsReportedAndTheWindowRecovers()
    {
        // Opens nothing once armed, by throwing: an engine fault the window must survive.
        class ThrowingOpener final : public PortOpener {
        public:
            std::unique_ptr<SerialDevice> OpenPort(int, std::string& reason) override
            {
                if (armed)
                    throw std::runtime_error("opener exploded");
                reason = "no such device";
                return nullptr;
            }
            std::string DeviceName(int) const override { return "/dev/null-port"; }
            bool armed = false;
        };
        ThrowingOpener opener;
        SimClock clock;
        testing::RecordingBoxes boxes;
        MainWindow form(opener, clock, boxes);
        testing::PrepareForTests(form.Engine());
        opener.armed = true;

        QSignalSpy finished(&form, &MainWindow::RunFinished);
        form.UpdateButton->click();
        QVERIFY(finished.wait(kRunTimeoutMs));

        QVERIFY(!form.RunInProgress());
        QVERIFY(form.PortMenu()->menuAction()->isEnabled());
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].Box.Icon, QMessageBox::Critical);
        QCOMPARE(boxes.shown[0].Box.Detail, QStringLiteral("opener exploded"));
        QVERIFY(form.close());
    }

    void menusIdentifyKeepTheirChoicesAcrossAStartAndReportTheRun()
    {
        QTemporaryDir folder;
        QtSettingsStore store(folder.filePath(QStringLiteral("varnox-patch.ini")));
        RunOptions given;
        given.AllowStandIn = true;
        given.RecordFile = folder.filePath(QStringLiteral("runs.jsonl")).toStdString();
        const QString name = QString::fromStdString(DefaultPanelName());
        {
            Bench bench;
            MainWindow& form = bench.form;
            QCOMPARE(form.Core().SetSettingsStore(store, given), std::string());

            // IDENTIFY PANEL: on the worker, the facts of --identify in the log, nothing written.
            form.MenuItem(MenuCommand::IdentifyPanel)->trigger();
            QVERIFY(form.RunInProgress());
            QVERIFY(!form.MenuItem(MenuCommand::FastUpdate)->isEnabled());
            QVERIFY(!form.UpdateButton->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(!form.RunInProgress(), 60000);
            QVERIFY2(form.LogLines().contains(QStringLiteral("firmware: ") + name),
                     qPrintable(form.LogLines().join('\n')));
            QVERIFY(form.LogLines().contains(QStringLiteral("update: can start")));
            QCOMPARE(bench.panel.CountOf(RequestKind::ReadMemory), std::size_t{1});
            QCOMPARE(bench.panel.CountOf(RequestKind::WriteEeprom), std::size_t{0});
            QVERIFY(!bench.opener.Held());
            QVERIFY(form.UpdateButton->isEnabled());
            QVERIFY(!form.MenuItem(MenuCommand::SaveReport)->isEnabled());  // no run yet

            form.MenuItem(MenuCommand::FastUpdate)->trigger();
            QVERIFY(form.MenuItem(MenuCommand::FastUpdate)->isChecked());
            QVERIFY(form.MenuItem(MenuCommand::VerifyEeprom)->isChecked());
            QVERIFY(!form.MenuItem(MenuCommand::VerifyEeprom)->isEnabled());
            bench.boxes.text = QStringLiteral("Giulia Bianchi");
            form.MenuItem(MenuCommand::Technician)->trigger();

            // A completed run: the green band in the gauge's place, the run's options as chosen.
            QVERIFY(bench.Run());
            QVERIFY(form.VerdictBand->isVisible());
            QCOMPARE(form.VerdictBand->text(), QStringLiteral("AGGIORNATA E VERIFICATA , UPDATED AND VERIFIED"));
            QCOMPARE(form.VerdictBand->property("verdict").toInt(), int(VerdictColour::Green));
            QVERIFY(form.Engine().Options.Fast);
            QCOMPARE(form.Core().LastRun()->Technician, std::string("Giulia Bianchi"));

            // SAVE REPORT writes the page and offers to open it.
            const QString report = folder.filePath(QStringLiteral("report.html"));
            bench.boxes.save_file = report;
            form.MenuItem(MenuCommand::SaveReport)->trigger();
            QFile saved(report);
            QVERIFY(saved.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(saved.readAll());
            QVERIFY(html.contains(name) && html.contains(QStringLiteral("Giulia Bianchi")));
            QCOMPARE(bench.boxes.questions.size(), 1);
            QVERIFY(bench.boxes.suggested_files.last().endsWith(QStringLiteral(".html")));

            // RUN HISTORY lists the recorded run; its report is saved from there.
            bench.boxes.chosen_row = 0;
            bench.boxes.save_file = folder.filePath(QStringLiteral("chosen.html"));
            form.MenuItem(MenuCommand::RunHistory)->trigger();
            QCOMPARE(bench.boxes.history.size(), 1);
            QVERIFY(bench.boxes.history[0].startsWith(QStringLiteral("1|")));
            QVERIFY(QFile::exists(bench.boxes.save_file));
        }
        // Started again on the same settings: the choices are still there, and a
        // command line's --no-record holds for this start only.
        given.NoRecord = true;
        Bench bench;
        QCOMPARE(bench.form.Core().SetSettingsStore(store, given), std::string());
        QVERIFY(bench.form.MenuItem(MenuCommand::FastUpdate)->isChecked());
        QVERIFY(!bench.form.MenuItem(MenuCommand::KeepRecord)->isChecked());
        QCOMPARE(bench.form.Core().Settings().Technician, std::string("Giulia Bianchi"));
        QVERIFY(store.Load().KeepRecord);
    }

    void bridgeKeepsTheOrderAndBlocksOnBoxes()
    {
        SimPanel panel;
        SimClock clock;
        SimPortOpener opener(panel, clock);
        testing::RecordingBoxes boxes;
        boxes.hold_ms = 50;
        MainWindow form(opener, clock, boxes);
        WindowBridge& bridge = form.Core().Bridge();

        std::atomic<bool> box_returned{false};
        std::size_t boxes_when_returned = 0;
        std::thread engine([&] {
            bridge.ClearLog();
            for (int i = 0; i < 500; ++i)
                bridge.LogLine(std::to_string(i));
            bridge.SetFieldText(Field::Address, "16384");
            bridge.SetGaugeVisible(true);
            bridge.SetGaugeProgress(750);
            bridge.SetGaugeMaximum(1500);
            bridge.ShowBox({BoxIcon::None, kProgramName, "box", {}});
            boxes_when_returned = boxes.shown.size();
            box_returned = true;
            bridge.SetButtonEnabled(false);
        });
        QTRY_VERIFY_WITH_TIMEOUT(box_returned.load(), 60000);
        engine.join();
        QCoreApplication::processEvents();

        QCOMPARE(boxes_when_returned, std::size_t{1});  // it returned only after the box
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        const QStringList at_box = boxes.shown[0].LogAtShow;
        QCOMPARE(at_box.size(), 500);
        QCOMPARE(at_box.front(), QStringLiteral("0"));
        QCOMPARE(at_box.back(), QStringLiteral("499"));
        QCOMPARE(form.EepromAddressField->text(), QStringLiteral("16384"));
        QCOMPARE(form.ProgressGauge->text(), QStringLiteral("50%"));
        QVERIFY(!form.UpdateButton->isEnabled());
    }
};

QTEST_MAIN(UpdateRunTest)
#include "update_run_test.moc"
