// What a run leaves behind and holds while it lasts, in simulated time: the
// run record's line for every ending with its exit status, its fields after a
// completed run and after two failures, a record that cannot be written, and
// the hold that keeps the machine awake.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "firmware/image_provenance.h"
#include "record/record_file.h"
#include "tests/update/simulated_update.h"

namespace varnox::testing {
namespace {

namespace fs = std::filesystem;

class RecordFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("varnox-record-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Runs `run` with its record going to this folder's file.
    UpdateEnding Recorded(SimulatedUpdate& run)
    {
        run.engine.Options.NoRecord = false;
        run.engine.Options.RecordFile = file().string();
        return run.engine.Run();
    }
    std::vector<RunRecord> Read()
    {
        const RecordReadResult read = ReadRecords(file());
        EXPECT_TRUE(read.Read) << read.Error;
        EXPECT_EQ(read.Log.SkippedLines, 0);
        return read.Log.Records;
    }
    fs::path file() const { return folder / "runs.jsonl"; }

    fs::path folder;
};

struct EndingCase {
    const char* Name;
    PanelConfig Panel;
    int Port;
    bool AllowStandIn;
    UpdateEnding Ending;
    const char* Token;
    const char* Verification;
    int ExitStatus;
};

using RunEndings = RecordFolder;

TEST_F(RunEndings, EachEndingHasItsTokenAndExitStatus)
{
    const EndingCase cases[] = {
        {"no panel", PanelWith(kIdentity160980), 2, true, UpdateEnding::IdentityReadFailed, "identity-read-failed",
         "not-run", 1},
        {"release", PanelWith({0, 0, 0x0B, 0x21, 0, 0}), 1, true, UpdateEnding::ReleaseRejected,
         "release-rejected", "not-run", 1},
        {"no image", PanelWith({0, 0, 0x1A, 0x05, 0, 0x04}), 1, true, UpdateEnding::NoFirmware, "no-firmware",
         "not-run", 1},
        {"stand-in", PanelWith(kIdentity160980), 1, false, UpdateEnding::StandInRefused, "stand-in-refused",
         "not-run", 1},
        {"eeprom", PanelWith(kIdentity160980, {Fault(PanelFaultType::NoAnswer, RequestKind::ReadEeprom, 1)}), 1,
         true, UpdateEnding::EepromFailed, "eeprom-failed", "not-run", 3},
        {"handshake", PanelWith(kIdentity160980, {Fault(PanelFaultType::WrongAck, RequestKind::Handshake, 2)}), 1,
         true, UpdateEnding::HandshakeFailed, "handshake-failed", "not-run", 3},
        {"microkernel",
         PanelWith(kIdentity160980, {Fault(PanelFaultType::WrongAck, RequestKind::MicroKernel, 3, 4)}), 1, true,
         UpdateEnding::MicroKernelFailed, "microkernel-failed", "not-run", 3},
        {"flash", PanelWith(kIdentity160980, {Fault(PanelFaultType::NoAnswer, RequestKind::Flash, 7, 4)}), 1, true,
         UpdateEnding::FlashFailed, "flash-failed", "not-run", 3},
        {"verified", PanelWith(kIdentity160980), 1, true, UpdateEnding::Completed, "completed", "verified", 0},
        {"silent", PanelWith(kIdentity160980, {Fault(PanelFaultType::SilentAfterRestart, RequestKind::End, 1)}), 1,
         true, UpdateEnding::Completed, "completed", "no-answer", 4},
        {"old identity",
         PanelWith({0, 0, 0x0B, 0x20, 0, 0x04}, {Fault(PanelFaultType::OldIdentity, RequestKind::End, 1)}), 1,
         true, UpdateEnding::Completed, "completed", "other-firmware", 4},
    };
    for (const EndingCase& c : cases) {
        SCOPED_TRACE(c.Name);
        SimulatedUpdate run(c.Panel);
        run.engine.SelectedPort = c.Port;
        run.engine.Options.AllowStandIn = c.AllowStandIn;
        EXPECT_EQ(Recorded(run), c.Ending);
        EXPECT_EQ(run.engine.LastExitStatus.load(), c.ExitStatus);
    }
    const std::vector<RunRecord> records = Read();
    ASSERT_EQ(records.size(), std::size(cases));
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(cases[i].Name);
        EXPECT_EQ(records[i].Ending, cases[i].Token);
        EXPECT_EQ(records[i].Verification, cases[i].Verification);
        EXPECT_EQ(records[i].ExitStatus, cases[i].ExitStatus);
    }
}

using RunRecordFields = RecordFolder;

TEST_F(RunRecordFields, CompletedRunWithRetriesAndAReopen)
{
    // One EEPROM chunk goes unanswered as its adapter drops out and comes back;
    // one flash packet needs a second attempt.
    SimulatedUpdate run(PanelWith(kIdentity160980, {Fault(PanelFaultType::PullReturn, RequestKind::WriteEeprom, 5),
                                                    Fault(PanelFaultType::WrongAck, RequestKind::Flash, 9)}));
    run.engine.ProgramName = "varnox-patch-cli";
    const auto before = std::chrono::system_clock::now();
    ASSERT_EQ(Recorded(run), UpdateEnding::Completed);

    const std::vector<RunRecord> records = Read();
    ASSERT_EQ(records.size(), 1u);
    const RunRecord& r = records[0];
    EXPECT_EQ(r.Program, "varnox-patch-cli");
    EXPECT_EQ(r.Version, std::string(ProgramVersion()));
    EXPECT_EQ(r.Port, "COM1");
    EXPECT_EQ(r.Adapter, std::optional<std::string>(run.opener.DeviceName(1)));
    EXPECT_EQ(r.IdentityBefore, std::optional<IdentityBytes>(kIdentity160980));
    EXPECT_EQ(r.FirmwareBefore, std::optional<std::string>("FWKAELVRXGAA0I_2x04"));
    const auto image = ImageOfFirmware("FWKAELVRXGAA0I_2x04");
    ASSERT_TRUE(image && r.Image);
    EXPECT_EQ(r.Image->Name, image->Image);
    EXPECT_EQ(r.Image->Sha256, image->Sha256);
    EXPECT_TRUE(r.Image->StandIn);
    EXPECT_EQ(r.Failed, (FailedAttempts{1, 0, 0, 1}));
    EXPECT_EQ(r.Reopens, 1);
    EXPECT_EQ(r.Ending, "completed");
    EXPECT_EQ(r.Verification, "verified");
    EXPECT_EQ(r.IdentityAfter, std::optional<IdentityBytes>(kIdentity160980));
    EXPECT_EQ(r.ExitStatus, 0);
    // Times to the second; the end as far after the start as the run took in its own time.
    EXPECT_GE(r.Start, std::chrono::floor<std::chrono::seconds>(before));
    const auto lasted = std::chrono::duration_cast<std::chrono::seconds>(r.End - r.Start).count();
    EXPECT_NEAR(static_cast<double>(lasted), run.sim_clock.Now() - 1000.0, 2.0);
    EXPECT_GT(lasted, 100);

    // The phases in their order, each within the run and after the one before;
    // the failures where they happened, with their kind and words.
    std::vector<std::string> names;
    double last_end = 0;
    for (const PhaseRecord& phase : r.Phases) {
        names.push_back(phase.Name);
        EXPECT_LE(last_end, phase.Start) << phase.Name;
        EXPECT_LE(phase.Start, phase.End) << phase.Name;
        last_end = phase.End;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"identity", "eeprom", "handshake", "microkernel", "flash",
                                               "verification"}));
    EXPECT_LE(last_end, run.sim_clock.Now() - 1000.0 + 0.001);
    const PhaseRecord& eeprom = r.Phases[1];
    ASSERT_EQ(eeprom.FailedAt.size(), 1u);
    ASSERT_EQ(eeprom.ReconnectedAt.size(), 1u);
    EXPECT_LT(eeprom.FailedAt[0], eeprom.ReconnectedAt[0]);
    ASSERT_EQ(eeprom.Failures.size(), 1u);
    // The adapter went away under the write: the system's words come with it.
    EXPECT_EQ(
        eeprom.Failures,
        (std::vector<FailureCount>{{"write-failed", 1, "chunk at 16424, attempt 1 of 6: Input/output error"}}));
    const PhaseRecord& flash = r.Phases[4];
    ASSERT_EQ(flash.Failures.size(), 1u);
    EXPECT_EQ(flash.Failures[0].Kind, "bad-checksum");
    EXPECT_EQ(flash.Failures[0].LastText, "flash packet 0x2800, attempt 1 of 4");
    EXPECT_TRUE(r.Phases[5].Failures.empty());
}

TEST_F(RunRecordFields, TwoFailedRunsAppendTwoLinesInTheirOrder)
{
    SimulatedUpdate unanswered;
    unanswered.engine.SelectedPort = 2;
    ASSERT_EQ(Recorded(unanswered), UpdateEnding::IdentityReadFailed);

    SimulatedUpdate eeprom(
        PanelWith(kIdentity192536, {Fault(PanelFaultType::NoAnswer, RequestKind::WriteEeprom, 10 + 3, 6)}));
    ASSERT_EQ(Recorded(eeprom), UpdateEnding::EepromFailed);

    const std::vector<RunRecord> records = Read();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Ending, "identity-read-failed");
    EXPECT_FALSE(records[0].IdentityBefore.has_value());
    EXPECT_FALSE(records[0].FirmwareBefore.has_value());
    EXPECT_FALSE(records[0].Image.has_value());
    EXPECT_EQ(records[0].Port, "COM2");
    EXPECT_EQ(records[0].ExitStatus, 1);

    EXPECT_EQ(records[1].Ending, "eeprom-failed");
    EXPECT_EQ(records[1].FirmwareBefore, std::optional<std::string>("FWKA1AVRXGAA0I_2x04"));
    EXPECT_EQ(records[1].Failed, (FailedAttempts{6, 0, 0, 0}));
    // The port is kept through failed exchanges: only a vanished adapter is re-opened.
    EXPECT_EQ(records[1].Reopens, 0);
    EXPECT_EQ(records[1].Verification, "not-run");
    EXPECT_FALSE(records[1].IdentityAfter.has_value());
    EXPECT_EQ(records[1].ExitStatus, 3);
    EXPECT_LE(records[0].Start, records[1].Start);
}

TEST_F(RunRecordFields, RunsThatNeverReadTheIdentityOrAskForNoRecordLeaveNone)
{
    SimulatedUpdate stopped;
    stopped.engine.RequestStop();  // ends before the identity read
    EXPECT_EQ(Recorded(stopped), UpdateEnding::Interrupted);

    SimulatedUpdate unrecorded;
    unrecorded.engine.Options.RecordFile = file().string();
    unrecorded.engine.Options.NoRecord = true;
    unrecorded.engine.SelectedPort = 2;
    EXPECT_EQ(unrecorded.engine.Run(), UpdateEnding::IdentityReadFailed);
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(RunRecordFields, RecordThatCannotBeWrittenIsTheLogsLastLineOrGoesToTheFrontEnd)
{
    fs::create_directories(folder);
    std::ofstream(folder / "not-a-folder") << "x";
    SimulatedUpdate run(PanelWith({0, 0, 0x0B, 0x21, 0, 0}));
    run.engine.Options.NoRecord = false;
    run.engine.Options.RecordFile = (folder / "not-a-folder" / "runs.jsonl").string();
    EXPECT_EQ(run.engine.Run(), UpdateEnding::ReleaseRejected);
    ASSERT_EQ(run.window.log.size(), 6u);  // the ending's five lines, then the record's
    EXPECT_EQ(run.window.log.back().rfind("run record not written: ", 0), 0u) << run.window.log.back();
    EXPECT_EQ(run.engine.LastExitStatus.load(), 1);

    std::vector<std::string> said;
    run.engine.RecordProblem = [&said](const std::string& text) { said.push_back(text); };
    run.window.log.clear();
    EXPECT_EQ(run.engine.Run(), UpdateEnding::ReleaseRejected);
    EXPECT_EQ(run.window.log.size(), 5u);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("run record not written: ", 0), 0u);
}

// The system's side of the hold, as a test sees it; it outlives the engine's
// own inhibitor, which only forwards to it.
class FakeInhibitor final : public SleepInhibitor {
public:
    FakeInhibitor(const UpdateEngine& engine, AwakeStatus answer) : engine_(engine), answer_(answer) {}
    AwakeStatus Take(std::string& why) override
    {
        ++takes;
        taken_on = std::this_thread::get_id();
        if (answer_ != AwakeStatus::Taken)
            why = "refused by the test";
        return answer_;
    }
    void Release() override
    {
        ++releases;
        released_on = std::this_thread::get_id();
        port_open_at_release = engine_.PortIsOpen();
    }
    bool Held() const { return takes == 1 && releases == 0; }

    int takes = 0, releases = 0;
    std::thread::id taken_on, released_on;
    bool port_open_at_release = true;

private:
    const UpdateEngine& engine_;
    AwakeStatus answer_;
};

class Forwarding final : public SleepInhibitor {
public:
    explicit Forwarding(SleepInhibitor& to) : to_(to) {}
    AwakeStatus Take(std::string& why) override { return to_.Take(why); }
    void Release() override { to_.Release(); }

private:
    SleepInhibitor& to_;
};

TEST(KeepAwake, HeldForTheRunOnItsThreadAndReleasedWhateverTheEnding)
{
    for (const bool completes : {true, false}) {
        SCOPED_TRACE(completes ? "completed" : "no panel");
        SimulatedUpdate run(PanelWith(kIdentity160980));
        if (!completes)
            run.engine.SelectedPort = 2;
        FakeInhibitor fake(run.engine, AwakeStatus::Taken);
        run.engine.SleepInhibitors = [&fake] { return std::make_unique<Forwarding>(fake); };
        // Every pause of the run, the restart wait included, falls inside the hold.
        int pauses_held = 0;
        run.clock.port_open = [&] {
            pauses_held += fake.Held() ? 1 : 0;
            return run.engine.PortIsOpen();
        };
        std::thread::id worker;
        std::thread runner([&] {
            worker = std::this_thread::get_id();
            run.engine.Run();
        });
        runner.join();
        EXPECT_EQ(fake.takes, 1);
        EXPECT_EQ(fake.releases, 1);
        EXPECT_EQ(fake.taken_on, worker);
        EXPECT_EQ(fake.released_on, worker);
        EXPECT_FALSE(fake.port_open_at_release);  // after the run's common end
        EXPECT_EQ(static_cast<std::size_t>(pauses_held), run.clock.pauses.size());
        EXPECT_GT(pauses_held, 0);
    }
}

TEST(KeepAwake, HoldTheSystemRefusesIsNotReleasedAndTheRunGoesOn)
{
    SimulatedUpdate run(PanelWith(kIdentity160980));
    FakeInhibitor fake(run.engine, AwakeStatus::Failed);
    run.engine.SleepInhibitors = [&fake] { return std::make_unique<Forwarding>(fake); };
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.window.log, CompletedLog("FWKAELVRXGAA0I_2x04"));
    EXPECT_EQ(fake.takes, 1);
    EXPECT_EQ(fake.releases, 0);
}

}  // namespace
}  // namespace varnox::testing
