// The window core with a recording shell and the simulated panel: start-up,
// what a run shows and refuses, engine boxes, an exception escaping a run,
// and the program ending during a run. The test's thread is the window's.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <thread>

#include "firmware/image_provenance.h"
#include "firmware/panel_identity.h"
#include "recording_view.h"
#include "sim/sim_device.h"
#include "tests/support/engine_for_tests.h"
#include "ui/core/form_texts.h"
#include "ui/core/main_window_core.h"
#include "update/update_texts.h"

namespace varnox {
namespace {

using testing::RecordingView;

bool Contains(const std::vector<std::string>& log, const std::string& line)
{
    return std::find(log.begin(), log.end(), line) != log.end();
}

// The simulated panel answers on `panel_port`; the window uses port 1.
struct Bench {
    explicit Bench(int panel_port = 1) : opener(panel, clock, panel_port), core(view, opener, clock)
    {
        testing::PrepareForTests(core.Engine());
        core.Start();
    }
    bool RunToItsEnd()
    {
        return core.StartUpdate() && view.ServeUntil(core, [this] { return !core.RunInProgress(); });
    }

    SimPanel panel;
    SimClock clock;
    SimPortOpener opener;
    RecordingView view;
    MainWindowCore core;
};

// Opens nothing once armed, by throwing: an engine fault the window must survive.
class ThrowingOpener final : public PortOpener {
public:
    std::unique_ptr<SerialDevice> OpenPort(int, std::string& reason) override
    {
        if (armed == 1)
            throw std::runtime_error("opener exploded");
        if (armed == 2)
            throw 42;
        reason = "no such device";
        return nullptr;
    }
    std::string DeviceName(int) const override { return {}; }
    int armed = 0;
};

TEST(MainWindowCoreTest, StartProbesThePortsAndWritesTheInstructions)
{
    Bench bench(3);
    RecordingView& view = bench.view;
    EXPECT_EQ(view.port_items,
              (std::array<bool, kMenuPorts>{false, false, true, false, false, false, false, false}));
    EXPECT_EQ(bench.core.UsablePorts(), view.port_items);
    EXPECT_FALSE(bench.opener.Held());
    EXPECT_EQ(bench.core.Engine().SelectedPort.load(), 1);
    ASSERT_EQ(view.log.size(), kStartupInstructions.size());
    EXPECT_EQ(view.log[2], "Connect Panel to serial port and insert PC programming Jumper on panel");
    EXPECT_EQ(view.button_text, "CONTINUE");
    EXPECT_TRUE(view.info_box_visible);
    EXPECT_EQ(bench.core.Phase(), RunPhase::Idle);
    EXPECT_TRUE(bench.core.ButtonEnabled());
    EXPECT_TRUE(view.boxes.empty());
}

TEST(MainWindowCoreTest, PortsAboveTheEightAreSelectableWhileListed)
{
    Bench bench(3);
    EXPECT_FALSE(bench.core.SelectPort(12));
    PortInfo com3;
    com3.Number = 3;
    com3.Device = bench.opener.DeviceName(3);
    com3.Maker = "FTDI";
    PortInfo com12;
    com12.Number = 12;
    com12.Device = "\\\\.\\COM12";
    PortInfo com5;  // listed, but the opener cannot reach it: greyed like any unusable item
    com5.Number = 5;
    com5.Device = "/dev/ttyUSB4";
    bench.core.SetPortLister([=] { return std::vector<PortInfo>{com3, com5, com12}; });
    bench.core.ProbePorts();

    const PortMenuModel& menu = bench.core.Menu();
    EXPECT_EQ(menu.Items[2].Device, com3.Device + " (FTDI)");
    EXPECT_EQ(menu.Items[2].Text, "COM3");
    EXPECT_EQ(bench.view.port_items,
              (std::array<bool, kMenuPorts>{false, false, true, false, false, false, false, false}));
    ASSERT_EQ(menu.Beyond.size(), 1u);
    EXPECT_EQ(menu.Beyond[0].Port, 12);
    EXPECT_EQ(menu.Beyond[0].Text, "COM12");
    EXPECT_EQ(menu.Beyond[0].Device, "\\\\.\\COM12");
    EXPECT_TRUE(bench.core.SelectPort(12));
    EXPECT_EQ(bench.core.Engine().SelectedPort.load(), 12);
    EXPECT_FALSE(bench.core.SelectPort(13));
    EXPECT_FALSE(bench.core.SelectPort(0));

    // Gone from the list: no longer selectable.
    bench.core.SetPortLister([] { return std::vector<PortInfo>{}; });
    bench.core.ProbePorts();
    EXPECT_TRUE(bench.core.Menu().Beyond.empty());
    EXPECT_FALSE(bench.core.SelectPort(12));
}

TEST(MainWindowCoreTest, DuringARunASecondRunAPortChangeAndClosingAreRefused)
{
    Bench bench;
    MainWindowCore& core = bench.core;
    RecordingView& view = bench.view;
    ASSERT_TRUE(core.StartUpdate());
    // Nothing is served yet, so the engine soon waits on the full queue: the
    // run stays under way for as long as the test needs.
    EXPECT_EQ(core.Phase(), RunPhase::Running);
    EXPECT_FALSE(view.button_enabled);
    EXPECT_FALSE(view.port_menu_enabled);

    EXPECT_FALSE(core.StartUpdate());
    EXPECT_FALSE(core.SelectPort(3));
    EXPECT_EQ(core.Engine().SelectedPort.load(), 1);
    EXPECT_FALSE(core.MayClose());
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].Icon, BoxIcon::Warning);
    EXPECT_EQ(view.boxes[0].Title, kProgramName);
    EXPECT_EQ(view.boxes[0].Text, kCloseRefusedText);

    // Half-way through, the same holds.
    ASSERT_TRUE(view.ServeUntil(core, [&] { return Contains(view.log, kWritingFlash); }));
    EXPECT_FALSE(core.StartUpdate());
    EXPECT_FALSE(core.SelectPort(2));
    EXPECT_FALSE(core.MayClose());

    ASSERT_TRUE(view.ServeUntil(core, [&] { return !core.RunInProgress(); }));
    EXPECT_EQ(core.Engine().LastEnding.load(), UpdateEnding::Completed);
    EXPECT_EQ(bench.panel.CountOf(RequestKind::End), 1u);  // one run only
    EXPECT_EQ(view.runs_ended, 1);
    EXPECT_EQ(core.Phase(), RunPhase::Finished);
    // A completed update leaves the button dead, even to a direct call.
    EXPECT_FALSE(view.button_enabled);
    EXPECT_TRUE(view.port_menu_enabled);
    EXPECT_FALSE(core.StartUpdate());
    EXPECT_TRUE(core.SelectPort(2));
    EXPECT_EQ(core.Engine().SelectedPort.load(), 2);
    EXPECT_TRUE(core.MayClose());
    EXPECT_EQ(view.boxes.size(), 2u);  // the two refusals to close, nothing else
}

TEST(MainWindowCoreTest, AnEngineBoxHoldsTheRunUntilClosedAndComesAfterWhatPrecededIt)
{
    Bench bench(2);  // port 1 leads nowhere
    RecordingView& view = bench.view;
    bool running_at_box = false;
    view.on_box = [&](const BoxText&) { running_at_box = bench.core.RunInProgress(); };
    ASSERT_TRUE(bench.RunToItsEnd());

    EXPECT_EQ(bench.core.Engine().LastEnding.load(), UpdateEnding::IdentityReadFailed);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].Icon, BoxIcon::Error);
    EXPECT_EQ(view.boxes[0].Title, "Error");
    EXPECT_FALSE(view.boxes[0].Detail.empty());
    EXPECT_TRUE(running_at_box);
    EXPECT_EQ(view.log_at_box[0], 0u);  // the run emptied the log before the box
    EXPECT_FALSE(view.log.empty());     // and wrote its ending after it
    // The ending leaves the button as the engine set it: enabled.
    EXPECT_TRUE(view.button_enabled);
    EXPECT_TRUE(bench.core.StartUpdate());
    ASSERT_TRUE(bench.view.ServeUntil(bench.core, [&] { return !bench.core.RunInProgress(); }));
    EXPECT_EQ(view.runs_ended, 2);

    // Through the bridge from another thread, the box blocks its caller.
    std::atomic<bool> returned{false};
    bool returned_while_open = true;
    view.on_box = [&](const BoxText&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        returned_while_open = returned.load();
    };
    std::thread engine([&] {
        bench.core.Bridge().LogLine("before");
        bench.core.Bridge().ShowBox({BoxIcon::None, kProgramName, "box", {}});
        returned = true;
    });
    ASSERT_TRUE(view.ServeUntil(bench.core, [&] { return returned.load(); }));
    engine.join();
    EXPECT_FALSE(returned_while_open);
    EXPECT_EQ(view.boxes.back().Icon, BoxIcon::None);
    EXPECT_EQ(view.log.back(), "before");
}

TEST(MainWindowCoreTest, AnExceptionEscapingARunIsReportedAndTheWindowRecovers)
{
    ThrowingOpener opener;
    SimClock clock;
    RecordingView view;
    MainWindowCore core(view, opener, clock);
    testing::PrepareForTests(core.Engine());
    core.Start();
    for (int armed : {1, 2}) {
        opener.armed = armed;
        ASSERT_TRUE(core.StartUpdate());
        ASSERT_TRUE(view.ServeUntil(core, [&] { return !core.RunInProgress(); }));
        ASSERT_EQ(view.boxes.size(), static_cast<std::size_t>(armed));
        const BoxText& box = view.boxes.back();
        EXPECT_EQ(box.Icon, BoxIcon::Error);
        EXPECT_EQ(box.Title, kProgramName);
        EXPECT_EQ(box.Text, kRunFailedText);
        EXPECT_EQ(box.Detail, armed == 1 ? "opener exploded" : "unknown error");
        // Nothing had been written when it broke off.
        EXPECT_EQ(view.band_text, "CENTRALE NON MODIFICATA , PANEL UNCHANGED");
        EXPECT_EQ(core.Phase(), RunPhase::Finished);
        EXPECT_TRUE(view.port_menu_enabled);
        EXPECT_TRUE(core.MayClose());
        EXPECT_FALSE(core.Engine().Running());
    }
    EXPECT_EQ(view.runs_ended, 2);
}

TEST(MainWindowCoreTest, ProgramEndDuringARunStopsItAtItsNextBoundaryAndServesItToTheEnd)
{
    for (bool by_destructor : {false, true}) {
        SCOPED_TRACE(by_destructor ? "core destroyed" : "EndRun");
        SimPanel panel;
        SimClock clock;
        SimPortOpener opener(panel, clock);
        RecordingView view;
        auto core = std::make_unique<MainWindowCore>(view, opener, clock);
        testing::PrepareForTests(core->Engine());
        core->Start();
        ASSERT_TRUE(core->StartUpdate());
        ASSERT_TRUE(view.ServeUntil(*core, [&] { return Contains(view.log, kPleaseWait); }));
        UpdateEngine& engine = core->Engine();
        const int operations_before = view.engine_operations;

        if (by_destructor) {
            core.reset();
        } else {
            core->EndRun();
            EXPECT_EQ(core->Phase(), RunPhase::Finished);
            EXPECT_EQ(engine.LastEnding.load(), UpdateEnding::Interrupted);
            EXPECT_FALSE(engine.Running());
        }
        EXPECT_EQ(view.runs_ended, 1);
        // The rest of the run was shown, down to its common end.
        EXPECT_GT(view.engine_operations, operations_before);
        EXPECT_FALSE(view.gauge_visible);
        EXPECT_GT(view.events_served, 0);
        EXPECT_FALSE(opener.Held());  // the run closed its port
        EXPECT_EQ(panel.CountOf(RequestKind::End), 0u);
    }
}

}  // namespace
}  // namespace varnox

namespace varnox {
namespace {

// The core both windows share: the stand-in guard ends the run with the button
// enabled, and a run record that cannot be written is the log's last line.
TEST(MainWindowCoreTrust, StandInRefusalAndAnUnwritableRecordAsTheWindowShowsThem)
{
    Bench bench;
    UpdateEngine& engine = bench.core.Engine();
    engine.Options.AllowStandIn = false;
    engine.Options.NoRecord = false;
    engine.Options.RecordFile = "/proc/varnox-window-test/runs.jsonl";
    ASSERT_TRUE(bench.RunToItsEnd());

    EXPECT_EQ(engine.LastEnding.load(), UpdateEnding::StandInRefused);
    ASSERT_EQ(bench.view.log.size(), 4u);
    EXPECT_EQ(bench.view.log[0], "");
    EXPECT_EQ(bench.view.log[1], "FIRMWARE DI PROVA: non adatto a una centrale reale");
    EXPECT_EQ(bench.view.log[2], "STAND-IN FIRMWARE: not for a real panel");
    EXPECT_EQ(bench.view.log[3].rfind("run record not written: cannot ", 0), 0u) << bench.view.log[3];
    EXPECT_TRUE(bench.view.boxes.empty());
    EXPECT_EQ(bench.panel.Requests().size(), 1u);
    // Nothing was written: the button stays for a run that is allowed.
    EXPECT_TRUE(bench.view.button_enabled);
    EXPECT_TRUE(bench.core.ButtonEnabled());
}

// Settings kept in memory, counting the saves.
struct MemoryStore final : SettingsStore {
    WindowSettings Load() override { return kept; }
    void Save(const WindowSettings& settings) override
    {
        kept = settings;
        ++saves;
    }
    WindowSettings kept;
    int saves = 0;
};

TEST(MainWindowCoreMenus, DuringARunWhatWouldChangeItOrUseThePortIsRefusedAndItsEndShowsTheVerdict)
{
    Bench bench;
    MainWindowCore& core = bench.core;
    RecordingView& view = bench.view;
    MemoryStore store;
    RunOptions given;
    given.AllowStandIn = given.NoRecord = true;
    EXPECT_EQ(core.SetSettingsStore(store, given), "");
    // Nothing to report before a run has ended.
    EXPECT_FALSE(core.ItemState(MenuCommand::SaveReport).Enabled);
    EXPECT_FALSE(core.OnMenuCommand(MenuCommand::SaveReport));

    ASSERT_TRUE(core.StartUpdate());
    const WindowSettings before = core.Settings();
    for (const MenuEntry& entry : kWindowMenus) {
        const bool harmless = entry.Command == MenuCommand::RunHistory || entry.Command == MenuCommand::About;
        EXPECT_EQ(core.ItemState(entry.Command).Enabled, harmless) << entry.Caption;
        if (!harmless) {
            EXPECT_FALSE(core.OnMenuCommand(entry.Command)) << entry.Caption;
        }
    }
    // Refused as a second CONTINUE is: no box, no dialog, nothing changed or saved.
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.dialogs, 0);
    EXPECT_EQ(core.Settings(), before);
    EXPECT_EQ(store.saves, 0);
    EXPECT_FALSE(view.band);
    EXPECT_TRUE(core.OnMenuCommand(MenuCommand::About));
    EXPECT_NE(view.about.find(std::string(ImageSetSha256())), std::string::npos);
    EXPECT_NE(view.about.find("Run record: not kept"), std::string::npos);

    ASSERT_TRUE(view.ServeUntil(core, [&] { return !core.RunInProgress(); }));
    EXPECT_EQ(view.band, VerdictColour::Green);
    EXPECT_EQ(view.band_text, "AGGIORNATA E VERIFICATA , UPDATED AND VERIFIED");
    ASSERT_TRUE(core.LastRun());
    EXPECT_EQ(core.LastRun()->ExitStatus, 0);
    for (const MenuEntry& entry : kWindowMenus)
        EXPECT_TRUE(core.ItemState(entry.Command).Enabled) << entry.Caption;

    // Fast mode always verifies: VERIFY EEPROM is then checked and greyed.
    EXPECT_TRUE(core.OnMenuCommand(MenuCommand::FastUpdate));
    EXPECT_TRUE(core.ItemState(MenuCommand::VerifyEeprom).Checked);
    EXPECT_FALSE(core.OnMenuCommand(MenuCommand::VerifyEeprom));
    EXPECT_FALSE(core.Settings().VerifyEeprom);
    EXPECT_EQ(store.saves, 1);
}

TEST(WindowSettingsTest, CommandLineOverStoredOverDefaults)
{
    WindowSettings stored;
    stored.Fast = true;
    stored.KeepRecord = true;
    stored.TracePath = "kept.txt";
    stored.Technician = "Giulia Bianchi";
    RunOptions none;
    RunOptions given;
    given.NoRecord = given.VerifyEeprom = true;
    given.TraceFile = "given.txt";
    given.RecordFile = ::testing::TempDir() + "varnox-window-settings-runs.jsonl";

    EXPECT_EQ(WithCommandLine({}, none), WindowSettings{});
    EXPECT_EQ(WithCommandLine(stored, none), stored);
    const WindowSettings started = WithCommandLine(stored, given);
    EXPECT_EQ(started, (WindowSettings{true, true, false, "given.txt", "Giulia Bianchi"}));

    const RunOptions run = RunOptionsFor(given, started);
    EXPECT_TRUE(run.Fast && run.VerifyEeprom && run.NoRecord);
    EXPECT_EQ(run.TraceFile, "given.txt");
    EXPECT_EQ(run.RecordFile, given.RecordFile);  // not a window setting: the command line's

    // The window: a choice changed in a menu is stored; what the command line
    // chose for this start is not.
    Bench bench;
    MemoryStore store;
    store.kept.Fast = false;
    store.kept.Technician = "Giulia Bianchi";
    given.Fast = given.AllowStandIn = true;
    given.TraceFile.clear();
    EXPECT_EQ(bench.core.SetSettingsStore(store, given), "");
    EXPECT_TRUE(bench.core.ItemState(MenuCommand::FastUpdate).Checked);
    EXPECT_FALSE(bench.core.ItemState(MenuCommand::KeepRecord).Checked);
    EXPECT_TRUE(bench.core.OnMenuCommand(MenuCommand::KeepRecord));
    EXPECT_EQ(store.saves, 1);
    EXPECT_TRUE(store.kept.KeepRecord);
    EXPECT_FALSE(store.kept.Fast);
    EXPECT_FALSE(store.kept.VerifyEeprom);
    // A cancelled dialog changes nothing.
    EXPECT_TRUE(bench.core.OnMenuCommand(MenuCommand::WriteTrace));
    EXPECT_FALSE(bench.core.ItemState(MenuCommand::WriteTrace).Checked);
    EXPECT_EQ(store.saves, 1);

    // The language chosen, the technician and the trace reach the run as it starts.
    bench.view.selector_index = 8;  // GREEK: variant 1B
    bench.view.trace_file = ::testing::TempDir() + "varnox-window-trace.txt";
    EXPECT_TRUE(bench.core.OnMenuCommand(MenuCommand::WriteTrace));
    EXPECT_TRUE(bench.core.ItemState(MenuCommand::WriteTrace).Checked);
    EXPECT_EQ(store.kept.TracePath, bench.view.trace_file);
    std::remove(given.RecordFile.c_str());
    ASSERT_TRUE(bench.RunToItsEnd());
    // Chosen again while checked: the trace ends with what it holds.
    EXPECT_TRUE(bench.core.OnMenuCommand(MenuCommand::WriteTrace));
    EXPECT_TRUE(store.kept.TracePath.empty());
    std::ifstream trace_file(bench.view.trace_file);
    const std::string trace((std::istreambuf_iterator<char>(trace_file)), std::istreambuf_iterator<char>());
    EXPECT_NE(trace.find("# open COM1"), std::string::npos);
    EXPECT_NE(trace.find(" > "), std::string::npos);
    PanelIdentity identity;
    const PanelConfig panel;
    std::copy(panel.Identity.begin(), panel.Identity.end(), identity.Bytes.begin());
    const RunRecord& record = bench.core.Engine().LastRecord;
    EXPECT_EQ(record.FirmwareBefore, BuildFirmwareName(identity, 8));
    EXPECT_NE(record.FirmwareBefore, BuildFirmwareName(identity, -1));
    EXPECT_EQ(record.Technician, "Giulia Bianchi");
    EXPECT_TRUE(bench.core.Engine().Options.Fast && !bench.core.Engine().Options.NoRecord);
    std::remove(given.RecordFile.c_str());
    std::remove(bench.view.trace_file.c_str());

    // A trace that cannot be written is said once, when what used the port has
    // ended; the panel is asked all the same.
    bench.view.trace_file = "/dev/full";
    EXPECT_TRUE(bench.core.OnMenuCommand(MenuCommand::WriteTrace));
    const std::size_t boxes = bench.view.boxes.size();
    for (int identify = 0; identify < 2; ++identify) {
        EXPECT_TRUE(bench.core.OnMenuCommand(MenuCommand::IdentifyPanel));
        ASSERT_TRUE(bench.view.ServeUntil(bench.core, [&] { return !bench.core.RunInProgress(); }));
    }
    ASSERT_EQ(bench.view.boxes.size(), boxes + 1);
    EXPECT_EQ(bench.view.boxes.back().Icon, BoxIcon::Warning);
    EXPECT_EQ(bench.view.boxes.back().Text, "Trace not written: No space left on device");
    EXPECT_EQ(std::count_if(bench.view.log.begin(), bench.view.log.end(),
                            [](const std::string& line) { return line.starts_with("firmware: "); }),
              2);
    std::remove(given.RecordFile.c_str());
}

}  // namespace
}  // namespace varnox
