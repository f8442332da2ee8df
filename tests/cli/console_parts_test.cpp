// The console tool's parts in-process: command line, status line and what
// the console window writes where.

#include <gtest/gtest.h>

#include "cli/cli_command_line.h"
#include "cli/console_window.h"
#include "cli/status_line.h"
#include "tests/cli/console_capture.h"

namespace varnox {
namespace {

CliCommandLine Parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "varnox-patch-cli");
    return ParseCliCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLineTest, PortsAndUsageErrors)
{
    EXPECT_EQ(Parse({"--help"}).action, CliCommandLine::Action::Help);
    EXPECT_EQ(Parse({"-h"}).action, CliCommandLine::Action::Help);
    EXPECT_EQ(Parse({"--version"}).action, CliCommandLine::Action::Version);

    const CliCommandLine path = Parse({"/dev/pts/7"});
    EXPECT_EQ(path.action, CliCommandLine::Action::Run);
    EXPECT_EQ(path.device_path, "/dev/pts/7");
    EXPECT_EQ(Parse({"./ttyfake"}).device_path, "./ttyfake");

    EXPECT_EQ(Parse({"COM1"}).port_number, 1);
    EXPECT_EQ(Parse({"com8"}).port_number, 8);
    EXPECT_EQ(Parse({"Com3"}).action, CliCommandLine::Action::Run);
    // USB adapters on Windows get high numbers, also in the system's own form.
    EXPECT_EQ(Parse({"COM9"}).port_number, 9);
    EXPECT_EQ(Parse({"COM256"}).port_number, 256);
    EXPECT_EQ(Parse({"\\\\.\\COM12"}).port_number, 12);
    EXPECT_EQ(Parse({"\\\\.\\com3"}).port_number, 3);

    EXPECT_EQ(Parse({"--list-ports"}).action, CliCommandLine::Action::ListPorts);

    for (auto args : std::vector<std::vector<const char*>>{{},
                                                           {"COM257"},
                                                           {"\\\\.\\COM0"},
                                                           {"\\\\.\\ttyUSB0"},
                                                           {"--list-ports", "COM1"},
                                                           {"COM0"},
                                                           {"COM"},
                                                           {"ttyUSB0"},
                                                           {""},
                                                           {"--verbose"},
                                                           {"COM1", "COM2"},
                                                           {"--help", "COM1"},
                                                           {"--version", "COM1"},
                                                           {"-v"},
                                                           {"--Version"}})
        EXPECT_EQ(Parse(args).action, CliCommandLine::Action::UsageError) << (args.empty() ? "(none)" : args[0]);
}

TEST(CommandLineTest, IdentifyHistoryAndTheRecordOptions)
{
    const CliCommandLine identify = Parse({"--identify", "--allow-stand-in", "COM2"});
    EXPECT_EQ(identify.action, CliCommandLine::Action::Identify);
    EXPECT_EQ(identify.port_number, 2);
    EXPECT_TRUE(identify.run.AllowStandIn);
    EXPECT_EQ(Parse({"--identify"}).action, CliCommandLine::Action::UsageError);  // no port

    EXPECT_EQ(Parse({"--history"}).action, CliCommandLine::Action::History);
    EXPECT_EQ(Parse({"--history"}).history_file, "");
    EXPECT_EQ(Parse({"--history", "old.jsonl"}).history_file, "old.jsonl");
    EXPECT_EQ(Parse({"--history", "a", "b"}).action, CliCommandLine::Action::UsageError);
    EXPECT_EQ(Parse({"COM1", "--history"}).action, CliCommandLine::Action::UsageError);

    EXPECT_EQ(Parse({"--record", "old.jsonl", "--report", "r.html", "12"}).report_run, 12);
    for (auto args : std::vector<std::vector<const char*>>{{"--report"},
                                                           {"--report", "r.html", "0"},
                                                           {"--report", "r.html", "2x"},
                                                           {"--report", "r.html", "1234567890"},
                                                           {"--report", "r.html", "1", "2"},
                                                           {"--report", "r.html", "--fast"},
                                                           {"--report", "r.html", "--record"},
                                                           {"COM1", "--report", "r.html"}})
        EXPECT_EQ(Parse(args).action, CliCommandLine::Action::UsageError) << args.back();

    const CliCommandLine recorded = Parse({"--record", "runs.jsonl", "COM1"});
    EXPECT_EQ(recorded.run.RecordFile, "runs.jsonl");
    EXPECT_FALSE(recorded.run.NoRecord);
    EXPECT_EQ(Parse({"COM1", "--record=x/y.jsonl"}).run.RecordFile, "x/y.jsonl");
    EXPECT_TRUE(Parse({"--no-record", "COM1"}).run.NoRecord);
    for (auto args : std::vector<std::vector<const char*>>{
             {"COM1", "--record"}, {"--record=", "COM1"}, {"--no-record=yes", "COM1"}, {"--record", "", "COM1"}})
        EXPECT_EQ(Parse(args).action, CliCommandLine::Action::UsageError) << args[0] << " " << args[1];
}

TEST(CommandLineTest, FastAndVerifyEepromBeforeOrAfterThePort)
{
    const CliCommandLine plain = Parse({"COM1"});
    EXPECT_FALSE(plain.run.Fast);
    EXPECT_FALSE(plain.run.ReadsEepromBack());

    const CliCommandLine fast = Parse({"--fast", "COM1"});
    ASSERT_EQ(fast.action, CliCommandLine::Action::Run);
    EXPECT_TRUE(fast.run.Fast);
    EXPECT_FALSE(fast.run.VerifyEeprom);
    EXPECT_TRUE(fast.run.ReadsEepromBack());

    const CliCommandLine verify = Parse({"/dev/pts/7", "--verify-eeprom"});
    ASSERT_EQ(verify.action, CliCommandLine::Action::Run);
    EXPECT_FALSE(verify.run.Fast);
    EXPECT_TRUE(verify.run.ReadsEepromBack());

    EXPECT_EQ(Parse({"--fast=1", "COM1"}).error, "--fast takes no value");
    const std::string usage = CliUsageText("varnox-patch-cli");
    for (const char* part : {"  --fast  ", "  --verify-eeprom  ", "takes its next request", "checked either way"})
        EXPECT_NE(usage.find(part), std::string::npos) << part;
}

TEST(StatusLineTest, PercentAndDurations)
{
    EXPECT_EQ(GaugePercent(0, 1500), 0);
    EXPECT_EQ(GaugePercent(555, 1500), 37);  // truncated, as the window shows it
    EXPECT_EQ(GaugePercent(81919, 81919), 100);
    EXPECT_EQ(GaugePercent(5, 0), 0);
    EXPECT_EQ(GaugePercent(-5, 10), 0);
    EXPECT_EQ(FormatDuration(0), "0:00");
    EXPECT_EQ(FormatDuration(359.9), "5:59");
    EXPECT_EQ(FormatDuration(3725), "1:02:05");
}

TEST(StatusLineTest, ShowsGaugeFieldsAndFitsTheTerminal)
{
    StatusState state;
    state.gauge_visible = true;
    state.progress = 500;
    state.maximum = 1000;
    state.panel_type = "FWKA1AVRXGAA0I_2x04";
    state.address = "16384";
    state.error_counter = "2";
    state.elapsed = 75;
    state.remaining = 30;
    const std::string line = FormatStatusLine(state, 200);
    EXPECT_EQ(line, "[##########..........]  50%  FWKA1AVRXGAA0I_2x04  EEPROM 16384  ERRORs 2  1:15 (~0:30 left)");
    EXPECT_EQ(FormatStatusLine(state, 40).size(), 39u);
    EXPECT_EQ(FormatStatusLine(state, 0), "");
    state.gauge_visible = false;
    EXPECT_EQ(FormatStatusLine(state, 200).rfind("FWKA1AVRXGAA0I_2x04", 0), 0u);
}

TEST(StatusLineTest, RemainingTimeFollowsThePaceOfTheRange)
{
    ProgressRate rate;
    rate.Restart(100.0);
    rate.Record(0, 100.0);
    EXPECT_FALSE(rate.Remaining(1000, 100.5));
    rate.Record(250, 110.0);
    EXPECT_DOUBLE_EQ(*rate.Remaining(1000, 110.0), 30.0);
    rate.Record(100, 111.0);  // went back: a new range
    EXPECT_FALSE(rate.Remaining(1000, 111.0));
}

using ConsoleOutput = testing::ConsoleCapture;

TEST_F(ConsoleOutput, WithoutTerminalLogLinesAndBoxesOnly)
{
    ConsoleWindow window(out_[1], err_[1], false, clock);
    window.SetGaugeVisible(true);
    window.SetGaugeProgress(700);
    window.RepaintGauge();
    window.LogLine("UPDATING PROCESS STARTED");
    window.LogLine("");
    window.LogLine("ERRORE : La versione della centrale è successiva al presente aggiornamento");
    window.ShowBox({BoxIcon::Error, "Error", "Impossibile accedere alla porta seriale", "/dev/x: busy"});
    window.ShowBox(
        {BoxIcon::None, "varnox-patch", "ATTENZIONE: errore irreversibile di programmazione firmware", {}});
    window.Tick();
    window.Finish();

    EXPECT_EQ(Drain(out_[0]),
              "UPDATING PROCESS STARTED\n\nERRORE : La versione della centrale è successiva al presente "
              "aggiornamento\n");
    EXPECT_EQ(Drain(err_[0]),
              "Impossibile accedere alla porta seriale\n/dev/x: busy\n"
              "ATTENZIONE: errore irreversibile di programmazione firmware\n");
}

TEST_F(ConsoleOutput, StatusLineIsClearedAroundEveryMessage)
{
    ConsoleWindow window(out_[1], err_[1], true, clock);
    window.SetGaugeVisible(true);
    window.SetGaugeMaximum(1000);
    window.SetGaugeProgress(500);
    window.Tick();
    window.ShowBox({BoxIcon::None, "varnox-patch", "box", {}});
    window.LogLine("line");
    window.Finish();

    EXPECT_EQ(Drain(out_[0]), "line\n");
    const std::string err = Drain(err_[0]);
    EXPECT_NE(err.find("\r[##########..........]  50%"), std::string::npos);
    EXPECT_NE(err.find("\r\x1b[Kbox\n\r["), std::string::npos);
    // The last thing written leaves the terminal line empty.
    EXPECT_EQ(err.substr(err.size() - 4), "\r\x1b[K");
}

}  // namespace
}  // namespace varnox
