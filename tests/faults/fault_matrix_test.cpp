// Every scripted fault of the simulated panel, driven through the console tool
// over a pseudo-terminal at real time: the run ends exactly as the documents
// give for the failing exchange (log on stdout, boxes on stderr, exit status),
// within its time-outs, and leaves the port free. One test per row, so ctest
// runs the rows side by side; the rows past the EEPROM phase each spend about
// 105 s getting there.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/cli/tool_runs.h"
#include "tests/faults/port_checks.h"
#include "tests/faults/tool_ending.h"

namespace varnox::testing {
namespace {

struct Scenario {
    const char* Name;
    std::vector<std::string> Faults;  // --fault values for the panel
    Ending End;
    std::string Reason;                // the identity read's failure text
    int FailedReopens;                 // port boxes once the adapter is gone (one wait for it, then the box)
    double MaxSeconds;                 // the tool must have ended by then
    std::size_t ReconnectedAfter = 0;  // log lines before the reconnection's line; 0: none
    bool FollowSimLink = false;        // the tool opens the panel's own link, which follows its returns
    int BusyMs = 0;                    // another program holds the port this long at the start
};

// Where the reconnection's line lands in the log of a completed update.
constexpr std::size_t kInEeprom = 6;  // after the opening lines
constexpr std::size_t kInFlash = 11;  // after "Writing Flash " and "PLEASE WAIT..."

// Time the tool needs to get through the EEPROM phase of the smallest image.
constexpr double kPastEeprom = 115;

Scenario Identity(const char* name, const char* fault, const std::string& reason)
{
    return {name, {std::string(fault) + ":read-memory:1"}, Ending::IdentityRead, reason, 0, 10};
}

Scenario Eeprom(const char* name, const std::string& fault, double seconds = 15)
{
    return {name, {fault}, Ending::EepromFailed, kNoAnswer, 0, seconds};
}

Scenario Loader(const char* name, const std::string& fault, Ending ending, double seconds)
{
    return {name, {fault}, ending, kNoAnswer, 0, kPastEeprom + seconds};
}

const std::vector<Scenario> kScenarios = {
    // The identity read: the reason is the log's middle line; nothing else is sent.
    Identity("IdentityRead_NoAnswer", "no-answer", kNoAnswer),
    Identity("IdentityRead_BadCrc", "bad-crc", kBadChecksum),
    Identity("IdentityRead_BadCobs", "bad-cobs", kBadData),
    Identity("IdentityRead_ExtraByte", "extra-byte", kBadData),
    Identity("IdentityRead_Split", "split", kBadData),
    Identity("IdentityRead_Late", "late", kNoAnswer),
    Identity("IdentityRead_DoubleAck", "double-ack", kBadData),
    Identity("IdentityRead_ShortReply", "short-reply", kBadData),
    Identity("IdentityRead_Silent", "silent", kNoAnswer),
    Identity("IdentityRead_AdapterPulled", "pull", kNoAnswer),

    // The EEPROM word's read and write and the byte at 15: no retries, the run stops.
    Eeprom("WordRead_NoAnswer", "no-answer:read-eeprom:1"),
    Eeprom("WordRead_BadCrc", "bad-crc:read-eeprom:1"),
    Eeprom("WordRead_BadCobs", "bad-cobs:read-eeprom:1"),
    Eeprom("WordRead_ExtraByte", "extra-byte:read-eeprom:1"),
    Eeprom("WordRead_Split", "split:read-eeprom:1"),
    Eeprom("WordRead_Late", "late:read-eeprom:1"),
    Eeprom("WordRead_DoubleAck", "double-ack:read-eeprom:1"),
    Eeprom("WordRead_ShortReply", "short-reply:read-eeprom:1"),
    Eeprom("WordRead_Silent", "silent:read-eeprom:1"),
    Eeprom("WordRead_AdapterPulled", "pull:read-eeprom:1"),
    Eeprom("WordWrite_NoAnswer", "no-answer:write-eeprom:1"),
    Eeprom("WordWrite_BadCrc", "bad-crc:write-eeprom:1"),
    Eeprom("WordWrite_BadCobs", "bad-cobs:write-eeprom:1"),
    Eeprom("WordWrite_ExtraByte", "extra-byte:write-eeprom:1"),
    Eeprom("WordWrite_Split", "split:write-eeprom:1"),
    Eeprom("WordWrite_Late", "late:write-eeprom:1"),
    Eeprom("WordWrite_DoubleAck", "double-ack:write-eeprom:1"),
    Eeprom("WordWrite_ShortReply", "short-reply:write-eeprom:1"),
    Eeprom("WordWrite_Silent", "silent:write-eeprom:1"),
    Eeprom("WordWrite_AdapterPulled", "pull:write-eeprom:1"),
    Eeprom("Address15_NoAnswer", "no-answer:write-eeprom:2"),
    Eeprom("Address15_BadCrc", "bad-crc:write-eeprom:2"),
    Eeprom("Address15_Late", "late:write-eeprom:2"),

    // The first chunk spoiled six times in a row: six attempts, then the run stops.
    Eeprom("Chunk_NoAnswerSixTimes", "no-answer:write-eeprom:3:6", 25),
    Eeprom("Chunk_BadCrcSixTimes", "bad-crc:write-eeprom:3:6", 25),
    Eeprom("Chunk_BadCobsSixTimes", "bad-cobs:write-eeprom:3:6", 25),
    Eeprom("Chunk_ExtraByteSixTimes", "extra-byte:write-eeprom:3:6", 25),
    Eeprom("Chunk_SplitSixTimes", "split:write-eeprom:3:6", 25),
    Eeprom("Chunk_LateSixTimes", "late:write-eeprom:3:6", 25),
    Eeprom("Chunk_DoubleAckSixTimes", "double-ack:write-eeprom:3:6", 25),
    Eeprom("Chunk_ShortReplySixTimes", "short-reply:write-eeprom:3:6", 25),
    Eeprom("Chunk_Silent", "silent:write-eeprom:3", 25),
    // The adapter pulled in the download: it is waited for 10 s, then one box,
    // and the chunk's remaining attempts fail.
    {"Chunk_AdapterPulled", {"pull:write-eeprom:3"}, Ending::EepromFailed, kNoAnswer, 1, 35},
    {"Download_AdapterPulledMidway", {"pull:write-eeprom:300"}, Ending::EepromFailed, kNoAnswer, 1, 80},
    // The adapter back 2 s later under a new terminal: the same chunk goes again.
    {"Download_AdapterBack",
     {"pull-return:write-eeprom:300"},
     Ending::Completed,
     kNoAnswer,
     0,
     kPastEeprom + 60,
     kInEeprom,
     true},

    // Handshake: one failed exchange of the first three ends the phase, with its warning.
    Loader("Handshake_NoAnswer", "no-answer:handshake:1", Ending::HandshakeFailed, 10),
    Loader("Handshake_WrongAck", "wrong-ack:handshake:2", Ending::HandshakeFailed, 10),
    Loader("Handshake_NoAnswerThird", "no-answer:handshake:3", Ending::HandshakeFailed, 10),
    Loader("Handshake_Late", "late:handshake:1", Ending::HandshakeFailed, 10),
    Loader("Handshake_Silent", "silent:handshake:1", Ending::HandshakeFailed, 10),
    Loader("Handshake_AdapterPulled", "pull:handshake:1", Ending::HandshakeFailed, 10),

    // microKernel and closing packet: four failed attempts, then the box.
    Loader("MicroKernel_NoAnswerFourTimes", "no-answer:microkernel:1:4", Ending::MicroKernelFailed, 12),
    Loader("MicroKernel_WrongAckFourTimes", "wrong-ack:microkernel:24:4", Ending::MicroKernelFailed, 12),
    Loader("MicroKernel_Silent", "silent:microkernel:10", Ending::MicroKernelFailed, 12),
    {"MicroKernel_AdapterPulled",
     {"pull:microkernel:5"},
     Ending::MicroKernelFailed,
     kNoAnswer,
     1,
     kPastEeprom + 22},
    Loader("Closing_NoAnswerFourTimes", "no-answer:closing:1:4", Ending::MicroKernelFailed, 12),
    Loader("Closing_WrongAckFourTimes", "wrong-ack:closing:1:4", Ending::MicroKernelFailed, 12),

    // Flash: four failed attempts of one block, then the box.
    Loader("Flash_NoAnswerFourTimes", "no-answer:flash:1:4", Ending::FlashFailed, 30),
    Loader("Flash_WrongAckFourTimes", "wrong-ack:flash:1:4", Ending::FlashFailed, 30),
    Loader("Flash_ShortReplyFourTimes", "short-reply:flash:1:4", Ending::FlashFailed, 30),
    Loader("Flash_NoAnswerMidway", "no-answer:flash:300:4", Ending::FlashFailed, 60),
    Loader("Flash_Silent", "silent:flash:100", Ending::FlashFailed, 40),
    {"Flash_AdapterPulled", {"pull:flash:100"}, Ending::FlashFailed, kNoAnswer, 1, kPastEeprom + 50},
    {"Flash_AdapterBack",
     {"pull-return:flash:100"},
     Ending::Completed,
     kNoAnswer,
     0,
     kPastEeprom + 60,
     kInFlash,
     true},

    // Faults the procedure rides out: retries that succeed, handshake replies
    // whose other bytes are not examined (six of the seven suffice), flash
    // replies judged on their first four bytes, the ignored fourth handshake.
    // The panel must end up holding the image. (A spoiled closing
    // acknowledgement is not among them: the panel erases on the first
    // closing packet and answers no repeat of it.)
    {"Recoverable_AllOfThem",
     {"no-answer:write-eeprom:5:5", "bad-crc:write-eeprom:100", "late:write-eeprom:200",
      "bad-cobs:write-eeprom:300", "short-reply:handshake:1", "split:handshake:2", "bad-cobs:handshake:3",
      "wrong-ack:handshake:4", "no-answer:microkernel:10:3", "wrong-ack:flash:10:3", "extra-byte:flash:20",
      "double-ack:flash:30", "no-answer:flash:40:3", "short-reply:flash:50:3"},
     Ending::Completed,
     kNoAnswer,
     0,
     kPastEeprom + 75},
    // A late flash reply is taken by the retry of its own block; from then
    // on every block's reply lands in the next block's first attempt, and
    // each block takes two attempts to the end.
    {"Recoverable_LateFlashReply",
     {"extra-byte:handshake:1", "double-ack:handshake:2", "bad-crc:handshake:3", "late:flash:5"},
     Ending::Completed,
     kNoAnswer,
     0,
     kPastEeprom + 110},
    // A modem manager holds the fresh port for 2 s: the open is tried again.
    {"Recoverable_BusyAtStart", {}, Ending::Completed, kNoAnswer, 0, kPastEeprom + 60, 0, false, 2000},
};

void PrintTo(const Scenario& scenario, std::ostream* out)
{
    *out << scenario.Name;
}

class FaultMatrix : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultMatrix, EndsAsDocumented)
{
    const Scenario& s = GetParam();
    std::vector<std::string> options = {"--as", kPanelName};
    for (const auto& fault : s.Faults)
        options.insert(options.end(), {"--fault", fault});
    if (s.End == Ending::Completed)
        options.insert(options.end(), {"--verify", kPanelName});
    ScratchFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string link = folder.Path() + "/COM1";
    if (s.FollowSimLink)
        options.insert(options.end(), {"--link", link});
    PanelProgram panel(kSimPath, options);
    ASSERT_FALSE(panel.Port().empty()) << "the simulated panel did not start";

    // The tool opens the port through a link. When the adapter is pulled its
    // pseudo-terminal vanishes and the number may go to a terminal another
    // test creates; the link goes with it, so no re-open reaches a stranger.
    // A panel that brings its adapter back keeps the link itself.
    std::atomic<bool> finished{false};
    std::thread watcher;
    if (!s.FollowSimLink) {
        ASSERT_EQ(::symlink(panel.Port().c_str(), link.c_str()), 0);
        watcher = std::thread([&] {
            while (!finished.load()) {
                if (!Exists(panel.Port())) {
                    ::unlink(link.c_str());
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    std::thread busy;
    if (s.BusyMs > 0) {
        auto holder = std::make_shared<PortHolder>(panel.Port());
        ASSERT_TRUE(holder->Held());
        busy = std::thread([holder, ms = s.BusyMs]() mutable {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            holder.reset();
        });
    }
    const ChildResult run = RunTool({link}, s.MaxSeconds + 60);
    finished.store(true);
    if (watcher.joinable())
        watcher.join();
    if (busy.joinable())
        busy.join();

    EXPECT_FALSE(run.timed_out) << "the tool hung";
    EXPECT_EQ(run.status, ExitStatus(s.End)) << run.err;
    std::vector<std::string> log = ExpectedLog(s.End, s.Reason);
    if (s.ReconnectedAfter > 0)
        log.insert(log.begin() + static_cast<std::ptrdiff_t>(s.ReconnectedAfter),
                   "PORTA SERIALE RICOLLEGATA , SERIAL PORT RECONNECTED");
    EXPECT_EQ(run.out, Joined(log));
    std::vector<std::string> boxes;
    for (int i = 0; i < s.FailedReopens; ++i)
        boxes.insert(boxes.end(), {kPortBox, NoSuchDevice(link)});
    EXPECT_EQ(run.err, Joined(Concat(boxes, EndingBoxes(s.End))));
    EXPECT_LE(run.wall_seconds, s.MaxSeconds);

    // Waiting is sleeping: a reply poll that spins would cost a core for the whole run.
    const double cpu_seconds = run.CpuSeconds();
    EXPECT_LT(cpu_seconds, 0.1 * run.wall_seconds + 0.5) << "of " << run.wall_seconds << " s";

    // A pulled adapter's port vanished under the tool (the watcher saw it go,
    // and its number may already serve another test); any other is free again.
    const bool pulled = !s.Faults.empty() && s.Faults.front().rfind("pull:", 0) == 0;
    if (pulled)
        EXPECT_FALSE(Exists(link)) << "the pulled adapter's port did not vanish";
    else
        EXPECT_TRUE(PortReleased(s.FollowSimLink ? link : panel.Port()));

    const ChildResult panel_end = panel.Stop();
    if (s.End == Ending::Completed) {
        EXPECT_EQ(panel_end.status, 0) << panel_end.err;
        EXPECT_NE(panel_end.err.find("the panel holds the image"), std::string::npos) << panel_end.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Scripted, FaultMatrix, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             return std::string(info.param.Name);
                         });

}  // namespace
}  // namespace varnox::testing
