// varnox-patch-cli's contract through the real program: exit statuses,
// stdout exactly the log, boxes on stderr, and the guarded Ctrl-C.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "firmware/image_provenance.h"
#include "tests/cli/tool_runs.h"

namespace varnox::testing {
namespace {

const std::vector<std::string> kOpening = {
    "UPDATING PROCESS STARTED", "FWKA1AVRXGAA0I_2x04", "", "UPDATING EEPROM MEMORY", "", "PLEASE WAIT..."};

TEST(ToolContract, UsageErrorsEndWithStatusTwo)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"COM257"}, {"--bogus"}, {"COM1", "COM2"}}) {
        const ChildResult run = RunTool(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("Usage: varnox-patch-cli PORT"), std::string::npos);
    }
}

TEST(ToolContract, HelpAndVersionGoToStdout)
{
    const ChildResult help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: varnox-patch-cli PORT\n", 0), 0u);
    EXPECT_NE(help.out.find("varnox-patch-cli --version\n"), std::string::npos);
    EXPECT_EQ(help.err, "");

    const ChildResult version = RunTool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, VersionText("varnox-patch-cli"));
    EXPECT_EQ(version.err, "");
}

TEST(ToolContract, ListPortsOpensNothingAndEndsWithZero)
{
    const ChildResult run = RunTool({"--list-ports"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("PORT ", 0), 0u) << run.out;
    EXPECT_LT(run.out.find(" DEVICE "), run.out.find(" BY-ID\n")) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST(ToolContract, PortThatCannotBeOpenedEndsAsAnUnansweredIdentityRead)
{
    const ChildResult run = RunTool({"/dev/varnox-no-such-port"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Joined({"", "Errore Lettura da centrale : No Answer", ""}));
    // The box's text, then why the port did not open.
    ASSERT_EQ(run.err.rfind("Impossibile accedere alla porta seriale\n", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("/dev/varnox-no-such-port: no such device; "), std::string::npos);
    // ...and which ports there are instead.
    EXPECT_TRUE(run.err.find("ports here: ") != std::string::npos ||
                run.err.find("no serial port here") != std::string::npos)
        << run.err;
}

TEST(ToolContract, ReleaseRejected)
{
    PanelProgram panel(kSimPath, {"--identity", "00000B210000"});
    ASSERT_FALSE(panel.Port().empty());
    const ChildResult run = RunTool({panel.Port()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Joined({"", "ERRORE : La versione della centrale è successiva al presente aggiornamento",
                               "", "ERROR : Panel release earlier than this patch", ""}));
    EXPECT_EQ(run.err, "");
}

TEST(ToolContract, NoFirmwareForThePanel)
{
    PanelProgram panel(kSimPath, {"--identity", "00001A050004"});
    ASSERT_FALSE(panel.Port().empty());
    const ChildResult run = RunTool({panel.Port()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              Joined({"", "ERROR : Firmware Version NOT Available", "", "ERRORe : Versione NON Disponibile"}));
    EXPECT_GE(run.wall_seconds, 3.0);
}

TEST(ToolContract, EepromFailureLogsItsReport)
{
    PanelProgram panel(kSimPath, {"--fault", "no-answer:read-eeprom:1"});
    ASSERT_FALSE(panel.Port().empty());
    const ChildResult run = RunTool({panel.Port()});
    EXPECT_EQ(run.status, 3);  // the panel was written to
    std::vector<std::string> expected = kOpening;
    expected.insert(expected.end(), {"", "Error Writing EEPROM memory", "programming END"});
    EXPECT_EQ(run.out, Joined(expected));
}

const std::string kStandInLog =
    Joined({"", "FIRMWARE DI PROVA: non adatto a una centrale reale", "STAND-IN FIRMWARE: not for a real panel"});

TEST(ToolContract, StandInsAreWrittenOnlyWhenAllowed)
{
    PanelProgram panel(kSimPath, {});
    ASSERT_FALSE(panel.Port().empty());
    const ChildResult refused = RunToEnd(WithoutStandInPermission(kCliPath, {panel.Port(), "--no-record"}), 60.0);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, kStandInLog);
    EXPECT_EQ(refused.err, "");
    // Without the pause of the no-firmware ending.
    EXPECT_LT(refused.wall_seconds, 2.0);

    // The option allows it as the environment does: the run gets to its first write.
    ChildProcess allowed;
    std::string error;
    ASSERT_TRUE(allowed.Start(
        WithoutStandInPermission(kCliPath, {"--allow-stand-in", "--no-record", panel.Port()}), error))
        << error;
    std::string line;
    ASSERT_TRUE(allowed.ReadStdoutLine(line, 10.0));
    EXPECT_EQ(line, "UPDATING PROCESS STARTED");
    allowed.Signal(SIGTERM);
    EXPECT_EQ(allowed.Finish(20.0).status, 143);
}

TEST(ToolContract, IdentifyWritesNothingAndSaysWhetherAnUpdateCouldStart)
{
    PanelProgram panel(kSimPath, {"--identity", "00000B200000"});
    ASSERT_FALSE(panel.Port().empty());
    const auto image = ImageOfFirmware("FWKA1AVRXGAA0I_2x04");
    ASSERT_TRUE(image);
    const std::string found =
        "identity: 00 00 0B 20 00 00\nfirmware: FWKA1AVRXGAA0I_2x04\nimage: FWKA1AVRXGAA0I_2x04, " +
        std::string(image->StandIn ? "stand-in" : "real") + ", sha256 " + image->Sha256 + "\n";
    const ChildResult allowed = RunTool({"--identify", panel.Port()});
    EXPECT_EQ(allowed.status, 0);
    EXPECT_EQ(allowed.out, found + "update: can start\n");
    EXPECT_EQ(allowed.err, "");

    const ChildResult refused = RunToEnd(WithoutStandInPermission(kCliPath, {"--identify", panel.Port()}), 60.0);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out,
              found + "update: refused: the carried images are stand-ins (--allow-stand-in writes them)\n");

    const ChildResult no_port = RunTool({"--identify", "/dev/varnox-no-such-port"});
    EXPECT_EQ(no_port.status, 1);
    EXPECT_EQ(no_port.out, "identity: not read: Errore Lettura da centrale : No Answer\nupdate: cannot start\n");

    // Identity reads alone: an update would have needed far longer.
    EXPECT_LT(allowed.wall_seconds + refused.wall_seconds, 4.0);
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ToolContract, RunsAreRecordedAndShownByHistoryAndReport)
{
    const std::string record = kToolEnvironment.state_home + "/history-test/runs.jsonl";
    PanelProgram panel(kSimPath, {"--identity", "00000B210000"});
    ASSERT_FALSE(panel.Port().empty());
    EXPECT_EQ(RunTool({panel.Port(), "--record", record}).status, 1);
    EXPECT_EQ(RunTool({"--record=" + record, "/dev/varnox-no-such-port"}).status, 1);

    const ChildResult history = RunTool({"--history", record});
    EXPECT_EQ(history.status, 0) << history.err;
    // Newest last: the refused release, then the port that did not open.
    const auto refused = history.out.find("release-rejected");
    const auto unread = history.out.find("identity-read-failed");
    ASSERT_NE(refused, std::string::npos) << history.out;
    ASSERT_NE(unread, std::string::npos) << history.out;
    EXPECT_LT(refused, unread);
    EXPECT_NE(history.out.find("2 runs; no unreadable lines"), std::string::npos) << history.out;
    EXPECT_NE(history.out.find("\n2    "), std::string::npos) << history.out;

    // --report: the last run, a run by its number, one the record does not hold, a file that cannot be written.
    const std::string report = kToolEnvironment.state_home + "/history-test/report.html";
    const ChildResult last = RunTool({"--report", report, "--record", record});
    EXPECT_EQ(last.status, 0) << last.err;
    EXPECT_EQ(last.out, "report of run 2 written to " + report + "\n");
    EXPECT_NE(FileText(report).find("identity-read-failed"), std::string::npos);
    EXPECT_EQ(RunTool({"--record=" + record, "--report", report, "1"}).status, 0);
    EXPECT_NE(FileText(report).find("00 00 0B 21 00 00"), std::string::npos);  // the refused release
    const ChildResult none = RunTool({"--report", report, "3", "--record", record});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "report not written: no run 3 in " + record + ", which holds runs 1 to 2\n");
    const ChildResult unwritable = RunTool({"--report", "/proc/varnox/report.html", "--record", record});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err.rfind("report not written: cannot open /proc/varnox/report.html: ", 0), 0u)
        << unwritable.err;

    // The per-user record lies under XDG_STATE_HOME (other tests of this program add to it too).
    EXPECT_EQ(RunTool({panel.Port()}).status, 1);
    const ChildResult own = RunTool({"--history"});
    EXPECT_NE(own.out.find("release-rejected"), std::string::npos) << own.out;
    EXPECT_TRUE(std::filesystem::exists(kToolEnvironment.state_home + "/varnox-patch/runs.jsonl"));
}

TEST(ToolContract, RecordThatCannotBeWrittenIsSaidOnStderrAndChangesNothingElse)
{
    PanelProgram panel(kSimPath, {"--identity", "00000B210000"});
    ASSERT_FALSE(panel.Port().empty());
    const ChildResult run = RunTool({panel.Port(), "--record", "/proc/varnox/runs.jsonl"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Joined({"", "ERRORE : La versione della centrale è successiva al presente aggiornamento",
                               "", "ERROR : Panel release earlier than this patch", ""}));
    EXPECT_EQ(run.err.rfind("run record not written: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("/proc/varnox"), std::string::npos) << run.err;
}

TEST(ToolContract, TraceAndRecordFilesAreGuarded)
{
    const std::string dir = kToolEnvironment.state_home + "/guard-test";
    const std::string record = dir + "/new/runs.jsonl";
    PanelProgram panel(kSimPath, {"--identity", "00000B210000"});
    ASSERT_FALSE(panel.Port().empty());
    // A record made where nothing was is the user's alone.
    EXPECT_EQ(RunTool({panel.Port(), "--record", record}).status, 1);
    struct stat folder {
    }, file{};
    ASSERT_EQ(::stat((dir + "/new").c_str(), &folder) | ::stat(record.c_str(), &file), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(file.st_mode & 0777, 0600u);

    // The trace would empty the record: refused, by another spelling of the same file too.
    const std::string runs = FileText(record);
    const ChildResult same =
        RunTool({panel.Port(), "--record", record, "--trace", dir + "/new/../new/runs.jsonl"});
    EXPECT_EQ(same.status, 2);
    EXPECT_EQ(
        same.err.rfind("varnox-patch-cli: --trace " + dir + "/new/../new/runs.jsonl is the run record's file", 0),
        0u)
        << same.err;
    EXPECT_EQ(FileText(record), runs);

    // A trace that cannot be written is said once; a record into /dev/null is no problem.
    const ChildResult full = RunTool({panel.Port(), "--record", "/dev/null", "--trace", "/dev/full"});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err,
              "varnox-patch-cli: --trace /dev/full: the trace could not be written: No space left on device\n");

    // --history of what is not a record: a missing file, a FIFO (no hang), a file over the cap.
    const std::string fifo = dir + "/fifo", big = dir + "/big.jsonl";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(big).close();
    std::filesystem::resize_file(big, (std::uintmax_t{64} << 20) + 1);
    for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
             {dir + "/none.jsonl", "cannot open " + dir + "/none.jsonl: No such file or directory"},
             {fifo, fifo + " is not a regular file"},
             {big, big + " is larger than 64 MiB"}}) {
        const ChildResult history = RunTool({"--history", path});
        EXPECT_EQ(history.status, 1) << path;
        EXPECT_EQ(history.out, "");
        EXPECT_EQ(history.err, "run record not read: " + reason + "\n");
    }
}

class InterruptedTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(panel.Port().empty());
        std::string error;
        ASSERT_TRUE(tool.Start({kCliPath, panel.Port()}, error)) << error;
        // Into the EEPROM download.
        std::string line;
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(tool.ReadStdoutLine(line, 10.0));
        ASSERT_EQ(line, "PLEASE WAIT...");
    }
    PanelProgram panel{kSimPath, {}};
    ChildProcess tool;
};

TEST_F(InterruptedTool, SecondCtrlCWithinThreeSecondsStops)
{
    tool.Signal(SIGINT);
    ::usleep(500 * 1000);
    tool.Signal(SIGINT);
    const double asked = MonotonicSeconds();
    const ChildResult run = tool.Finish(20.0);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 130);
    EXPECT_LT(MonotonicSeconds() - asked, 5.0);
    EXPECT_NE(run.err.find("può lasciare la centrale inutilizzabile"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("can leave the panel unusable"), std::string::npos);
    EXPECT_NE(run.err.find("closing the port"), std::string::npos);
    // The log stops where the update stopped: nothing of the bootloader phase.
    EXPECT_EQ(run.out.find("DOWNLOADING"), std::string::npos);
}

TEST_F(InterruptedTool, LoneCtrlCOnlyWarnsAndTermStops)
{
    tool.Signal(SIGINT);
    ::usleep(4500 * 1000);  // well past the 3 s, even on a loaded machine
    tool.Signal(SIGINT);    // too late to confirm the first: a new warning
    ::usleep(500 * 1000);
    tool.Signal(SIGTERM);
    const ChildResult run = tool.Finish(20.0);
    EXPECT_EQ(run.status, 143);
    std::size_t warnings = 0;
    for (auto at = run.err.find("WARNING:"); at != std::string::npos; at = run.err.find("WARNING:", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 2u);
}

// A closed terminal must not cut the update short.
TEST_F(InterruptedTool, HangupIsIgnored)
{
    tool.Signal(SIGHUP);
    ::usleep(300 * 1000);
    tool.Signal(SIGTERM);
    const ChildResult run = tool.Finish(20.0);
    EXPECT_EQ(run.status, 143);
    EXPECT_EQ(run.err, "Stopping the update: closing the port...\n");
}

}  // namespace
}  // namespace varnox::testing
