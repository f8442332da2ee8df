// varnox-panel-sim as a tool meets it: a child process whose pseudo-terminal
// is opened through the real serial backend and spoken to by the real
// request code, at real time.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>

#include "comm/linux/serial_linux.h"
#include "comm/serial_port.h"
#include "firmware/catalogue.h"
#include "panel_test_support.h"
#include "protocol/memory_requests.h"
#include "tests/support/panel_program.h"

namespace varnox {
namespace {

using testing::Bytes;
using testing::ChildResult;
using testing::PanelProgram;

const std::string kPanelSim = VARNOX_SIM_PATH;
constexpr double kExitSeconds = 10.0;

// The tool's side: COM1 mapped to the simulated panel's terminal.
struct Tool {
    explicit Tool(const std::string& path) : opener(MapTo(path)), port(1), requests(port, clock) {}

    // Opens (again) the port to the simulated panel; the system's reason on failure.
    CommResult Open() { return port.Open(opener); }

    static PortMap MapTo(const std::string& path)
    {
        PortMap map;
        map.Map(1, path);
        return map;
    }

    PosixPortOpener opener;
    SerialPort port;
    SteadyClock clock;
    MemoryRequests requests;
};

Bytes ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string TempPath(const char* name)
{
    return std::string("/tmp/varnox-sim-test-") + std::to_string(::getpid()) + "-" + name;
}

TEST(PanelSimProgram, ImpersonatedIdentityIsReadThroughTheRealBackend)
{
    const std::string name = "FWKAELVRXGAA0I_2x04";
    PanelProgram sim(kPanelSim, {"--as", name});
    ASSERT_FALSE(sim.Port().empty()) << sim.Finish(kExitSeconds).err;
    Tool tool(sim.Port());
    ASSERT_TRUE(tool.Open().ok());

    uint8_t identity[6] = {};
    ASSERT_TRUE(tool.requests.ReadMemory(0xFED0, identity, 6).ok());
    const std::span<const uint8_t> image = CarriedImage(name);
    ASSERT_GT(image.size(), 0xFED6u);
    EXPECT_EQ(Bytes(identity, identity + 6), Bytes(image.begin() + 0xFED0, image.begin() + 0xFED6));
    tool.port.Close();

    sim.Signal(SIGINT);
    EXPECT_EQ(sim.Finish(kExitSeconds).status, 0);
}

TEST(PanelSimProgram, EepromWriteSurvivesAReopenAndIsDumpedAtTheEnd)
{
    const std::string dump = TempPath("eeprom.bin");
    PanelProgram sim(kPanelSim, {"--identity", "00:00:1B:20:01:00", "--dump-eeprom", dump});
    ASSERT_FALSE(sim.Port().empty()) << sim.Finish(kExitSeconds).err;
    Tool tool(sim.Port());
    ASSERT_TRUE(tool.Open().ok());

    uint8_t identity[6] = {};
    ASSERT_TRUE(tool.requests.ReadMemory(0xFED0, identity, 6).ok());
    EXPECT_EQ(Bytes(identity, identity + 6), (Bytes{0x00, 0x00, 0x1B, 0x20, 0x01, 0x00}));

    Bytes chunk(20);
    for (std::size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<uint8_t>(0xA0 + i);
    ASSERT_TRUE(tool.requests.WriteEeprom(0x4000, chunk.data(), 20).ok());

    // The tool closes and re-opens the port after a failure; the terminal stays.
    tool.port.Close();
    ASSERT_TRUE(tool.Open().ok());
    uint8_t back[20] = {};
    ASSERT_TRUE(tool.requests.ReadEeprom(0x4000, back, 20).ok());
    EXPECT_EQ(Bytes(back, back + 20), chunk);
    tool.port.Close();

    sim.Signal(SIGTERM);
    const ChildResult end = sim.Finish(kExitSeconds);
    ASSERT_EQ(end.status, 0) << end.err;
    const Bytes eeprom = ReadFile(dump);
    ::unlink(dump.c_str());
    ASSERT_EQ(eeprom.size(), 65536u);
    EXPECT_EQ(Bytes(eeprom.begin() + 0x4000, eeprom.begin() + 0x4014), chunk);
    EXPECT_EQ(eeprom[0x2820], 0x00);
    EXPECT_EQ(eeprom[0x2821], 0x80);
}

TEST(PanelSimProgram, ScriptedFaultsReachTheTool)
{
    PanelProgram sim(kPanelSim, {"--fault", "bad-crc:read-memory:1", "--fault", "split:read-memory:2", "--fault",
                                 "no-answer:write-eeprom:1"});
    ASSERT_FALSE(sim.Port().empty()) << sim.Finish(kExitSeconds).err;
    Tool tool(sim.Port());
    uint8_t identity[6] = {};

    ASSERT_TRUE(tool.Open().ok());
    EXPECT_STREQ(tool.requests.ReadMemory(0xFED0, identity, 6).text(), kBadChecksumText);

    ASSERT_TRUE(tool.Open().ok());
    EXPECT_STREQ(tool.requests.ReadMemory(0xFED0, identity, 6).text(), kBadDataText);

    ASSERT_TRUE(tool.Open().ok());
    const uint8_t ff = 0xFF;
    EXPECT_STREQ(tool.requests.WriteEeprom(0x000F, &ff, 1).text(), kNoAnswerText);

    ASSERT_TRUE(tool.Open().ok());
    EXPECT_TRUE(tool.requests.ReadMemory(0xFED0, identity, 6).ok());
    tool.port.Close();
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Finish(kExitSeconds).status, 0);
}

TEST(PanelSimProgram, PulledAdapterMakesThePortVanish)
{
    PanelProgram sim(kPanelSim, {"--fault", "pull:read-memory:2"});
    ASSERT_FALSE(sim.Port().empty()) << sim.Finish(kExitSeconds).err;
    Tool tool(sim.Port());
    uint8_t identity[6] = {};
    ASSERT_TRUE(tool.Open().ok());
    ASSERT_TRUE(tool.requests.ReadMemory(0xFED0, identity, 6).ok());
    EXPECT_STREQ(tool.requests.ReadMemory(0xFED0, identity, 6).text(), kNoAnswerText);
    EXPECT_EQ(tool.Open().kind, CommFailure::OpenRefused);
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Finish(kExitSeconds).status, 0);
}

// Sends raw bootloader bytes and waits up to `seconds` for `expected` reply bytes.
Bytes Exchange(SerialDevice& device, const Bytes& request, std::size_t expected, double seconds)
{
    EXPECT_TRUE(device.Write(request.data(), request.size()).ok());
    SteadyClock clock;
    const double deadline = clock.Now() + seconds;
    while (device.BytesWaiting() < static_cast<long>(expected) && clock.Now() < deadline)
        if (device.WaitForInput(device.BytesWaiting(), deadline - clock.Now()) != WaitResult::MoreInput)
            break;
    Bytes reply(static_cast<std::size_t>(std::max(device.BytesWaiting(), 0L)));
    std::size_t delivered = 0;
    device.Read(reply.data(), reply.size(), delivered);
    reply.resize(delivered);
    return reply;
}

std::string LinkTarget(const std::string& link)
{
    char target[256] = {};
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

TEST(PanelSimProgram, DroppedAdapterReturnsOnANewTerminalThatTheLinkFollows)
{
    const std::string link = TempPath("by-id");
    // A link a killed run left behind is taken over.
    ASSERT_EQ(::symlink("/dev/pts/999", link.c_str()), 0);
    PanelProgram sim(kPanelSim,
                     {"--link", link, "--return-after", "1000", "--fault", "pull-return:read-memory:1"});
    ASSERT_FALSE(sim.Port().empty()) << sim.Finish(kExitSeconds).err;
    EXPECT_EQ(LinkTarget(link), sim.Port());

    // The tool opens the port by its link, as by /dev/serial/by-id.
    Tool tool(link);
    ASSERT_TRUE(tool.Open().ok());
    const Bytes chunk = {0x11, 0x22, 0x33, 0x44};
    ASSERT_TRUE(tool.requests.WriteEeprom(0x4000, chunk.data(), 4).ok());

    // The adapter goes with the identity read: the open descriptor is dead.
    SerialDevice& device = *tool.port.Device();
    EXPECT_TRUE(Exchange(device, testing::ReadRequest(1, 0xFED0, 6), 14, 0.25).empty());
    EXPECT_EQ(device.WaitForInput(0, 0.1), WaitResult::Gone);
    EXPECT_TRUE(device.Write(chunk.data(), chunk.size()).failed());
    tool.port.Close();
    EXPECT_TRUE(tool.Open().failed()) << "the link leads nowhere while the adapter is away";

    // It comes back on a new terminal, announced on stdout, the link already on it.
    const std::string back = sim.NextLine(5.0);
    EXPECT_EQ(back.rfind("/dev/pts/", 0), 0u) << back;
    EXPECT_NE(back, sim.Port());
    EXPECT_EQ(LinkTarget(link), back);

    // The panel kept its memory: only the adapter was away.
    const CommResult reopened = tool.Open();
    ASSERT_TRUE(reopened.ok()) << reopened.text;
    Bytes stored(4);
    ASSERT_TRUE(tool.requests.ReadEeprom(0x4000, stored.data(), 4).ok());
    EXPECT_EQ(stored, chunk);
    uint8_t identity[6] = {};
    EXPECT_TRUE(tool.requests.ReadMemory(0xFED0, identity, 6).ok());
    tool.port.Close();

    const ChildResult end = sim.Stop();
    EXPECT_EQ(end.status, 0) << end.err;
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0) << "the link goes with the program";
}

TEST(PanelSimProgram, ExitsAfterTheRestartAndJudgesTheFlashAgainstAnImage)
{
    const std::string name = "FWKAELVRXGAA0I_2x04";
    const std::string transcript = TempPath("transcript.txt");
    PanelProgram sim(kPanelSim, {"--delay", "erase=100", "--delay", "restart=100", "--exit-after-restart",
                                 "--verify", name, "--transcript", transcript});
    ASSERT_FALSE(sim.Port().empty()) << sim.Finish(kExitSeconds).err;
    Tool tool(sim.Port());
    ASSERT_TRUE(tool.Open().ok());
    SerialDevice& device = *tool.port.Device();

    EXPECT_EQ(Exchange(device, testing::kHandshakeFrame, 7, 0.25).at(1), 0xB7);
    const Bytes closing(66, 0x00);
    EXPECT_EQ(Exchange(device, closing, 1, 0.2), Bytes{0x00});
    tool.clock.Pause(300);  // the erase

    // The first flash block as the image has it: the first difference is the next block.
    const std::span<const uint8_t> image = CarriedImage(name);
    Bytes block = {0x00, 0x00, 0x24, 0x00};
    block.insert(block.end(), image.begin() + 0x2400, image.begin() + 0x2480);
    const Bytes reply = Exchange(device, block, 4, 0.8);
    ASSERT_EQ(reply.size(), 4u);
    EXPECT_EQ(reply[3], testing::Sum8(block));
    EXPECT_TRUE(device.Write(Bytes(132, 0x00).data(), 132).ok());

    const ChildResult end = sim.Finish(kExitSeconds);
    EXPECT_EQ(end.status, 3) << end.err;
    EXPECT_EQ(end.err.rfind("varnox-panel-sim: verify " + name + ": different, flash 0x02480: panel 0xFF", 0), 0u)
        << end.err;
    const Bytes log = ReadFile(transcript);
    ::unlink(transcript.c_str());
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("> 06 48 01 01 01 52 00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("< 06 B7 01 01 01 83 00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("# restarted"), std::string::npos) << text;
}

TEST(PanelSimProgram, VersionAnswersAndEnds)
{
    // The helper takes the first line for the terminal's path: here it is the version.
    PanelProgram version(kPanelSim, {"--version"});
    EXPECT_EQ(version.Port(), "varnox-panel-sim 2.04");
    const ChildResult end = version.Finish(kExitSeconds);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.err, "");
}

TEST(PanelSimProgram, BadCommandLinesAreRefusedWithStatusTwo)
{
    PanelProgram unknown(kPanelSim, {"--fault", "late:eeprom:1"});
    EXPECT_TRUE(unknown.Port().empty());
    const ChildResult refused = unknown.Finish(kExitSeconds);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("unknown request kind \"eeprom\""), std::string::npos) << refused.err;

    PanelProgram not_carried(kPanelSim, {"--as", "FWKZZZVRXGAA0I_2x04"});
    EXPECT_EQ(not_carried.Finish(kExitSeconds).status, 2);

    // Someone's file where the link is to go: refused, and neither replaced nor deleted.
    const std::string taken = TempPath("taken");
    std::ofstream(taken) << "keep me\n";
    PanelProgram on_a_file(kPanelSim, {"--link", taken});
    const ChildResult not_linked = on_a_file.Finish(kExitSeconds);
    EXPECT_EQ(not_linked.status, 1);
    EXPECT_NE(not_linked.err.find("--link " + taken + ": exists and is not a link to a pseudo-terminal"),
              std::string::npos)
        << not_linked.err;
    EXPECT_EQ(ReadFile(taken), Bytes({'k', 'e', 'e', 'p', ' ', 'm', 'e', '\n'}));
    ::unlink(taken.c_str());
}

}  // namespace
}  // namespace varnox
