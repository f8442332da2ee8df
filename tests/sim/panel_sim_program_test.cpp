// varnox-panel-sim as a tool meets it: a child process whose pseudo-terminal
// is opened through the real serial backend and spoken to by the real
// request code, at real time.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>

#include "comm/serial_linux.h"
#include "comm/serial_port.h"
#include "firmware/catalogue.h"
#include "panel_sim_process.h"
#include "panel_test_support.h"
#include "protocol/memory_requests.h"

namespace varnox {
namespace {

using testing::Bytes;
using testing::PanelSimProcess;

constexpr int kExitTimeoutMs = 10000;

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
    PanelSimProcess sim({"--as", name});
    ASSERT_FALSE(sim.Path().empty()) << sim.Stderr();
    Tool tool(sim.Path());
    ASSERT_TRUE(tool.Open().ok());

    uint8_t identity[6] = {};
    ASSERT_TRUE(tool.requests.ReadMemory(0xFED0, identity, 6).ok());
    const std::span<const uint8_t> image = CarriedImage(name);
    ASSERT_GT(image.size(), 0xFED6u);
    EXPECT_EQ(Bytes(identity, identity + 6), Bytes(image.begin() + 0xFED0, image.begin() + 0xFED6));
    tool.port.Close();

    sim.Signal(SIGINT);
    EXPECT_EQ(sim.Wait(kExitTimeoutMs), 0);
}

TEST(PanelSimProgram, EepromWriteSurvivesAReopenAndIsDumpedAtTheEnd)
{
    const std::string dump = TempPath("eeprom.bin");
    PanelSimProcess sim({"--identity", "00:00:1B:20:01:00", "--dump-eeprom", dump});
    ASSERT_FALSE(sim.Path().empty()) << sim.Stderr();
    Tool tool(sim.Path());
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
    ASSERT_EQ(sim.Wait(kExitTimeoutMs), 0) << sim.Stderr();
    const Bytes eeprom = ReadFile(dump);
    ::unlink(dump.c_str());
    ASSERT_EQ(eeprom.size(), 65536u);
    EXPECT_EQ(Bytes(eeprom.begin() + 0x4000, eeprom.begin() + 0x4014), chunk);
    EXPECT_EQ(eeprom[0x2820], 0x00);
    EXPECT_EQ(eeprom[0x2821], 0x80);
}

TEST(PanelSimProgram, ScriptedFaultsReachTheTool)
{
    PanelSimProcess sim({"--fault", "bad-crc:read-memory:1", "--fault", "split:read-memory:2", "--fault",
                         "no-answer:write-eeprom:1"});
    ASSERT_FALSE(sim.Path().empty()) << sim.Stderr();
    Tool tool(sim.Path());
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
    EXPECT_EQ(sim.Wait(kExitTimeoutMs), 0);
}

TEST(PanelSimProgram, PulledAdapterMakesThePortVanish)
{
    PanelSimProcess sim({"--fault", "pull:read-memory:2"});
    ASSERT_FALSE(sim.Path().empty()) << sim.Stderr();
    Tool tool(sim.Path());
    uint8_t identity[6] = {};
    ASSERT_TRUE(tool.Open().ok());
    ASSERT_TRUE(tool.requests.ReadMemory(0xFED0, identity, 6).ok());
    EXPECT_STREQ(tool.requests.ReadMemory(0xFED0, identity, 6).text(), kNoAnswerText);
    EXPECT_EQ(tool.Open().kind, CommFailure::OpenRefused);
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(kExitTimeoutMs), 0);
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

TEST(PanelSimProgram, ExitsAfterTheRestartAndJudgesTheFlashAgainstAnImage)
{
    const std::string name = "FWKAELVRXGAA0I_2x04";
    const std::string transcript = TempPath("transcript.txt");
    PanelSimProcess sim({"--delay", "erase=100", "--delay", "restart=100", "--exit-after-restart", "--verify",
                         name, "--transcript", transcript});
    ASSERT_FALSE(sim.Path().empty()) << sim.Stderr();
    Tool tool(sim.Path());
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

    EXPECT_EQ(sim.Wait(kExitTimeoutMs), 3) << sim.Stderr();
    EXPECT_EQ(sim.Stderr().rfind("varnox-panel-sim: verify " + name + ": different, flash 0x02480: panel 0xFF", 0),
              0u)
        << sim.Stderr();
    const Bytes log = ReadFile(transcript);
    ::unlink(transcript.c_str());
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("> 06 48 01 01 01 52 00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("< 06 B7 01 01 01 83 00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("# restarted"), std::string::npos) << text;
}

TEST(PanelSimProgram, BadCommandLinesAreRefusedWithStatusTwo)
{
    PanelSimProcess unknown({"--fault", "late:eeprom:1"});
    EXPECT_TRUE(unknown.Path().empty());
    EXPECT_EQ(unknown.Wait(kExitTimeoutMs), 2);
    EXPECT_NE(unknown.Stderr().find("unknown request kind \"eeprom\""), std::string::npos) << unknown.Stderr();

    PanelSimProcess not_carried({"--as", "FWKZZZVRXGAA0I_2x04"});
    EXPECT_EQ(not_carried.Wait(kExitTimeoutMs), 2);
}

}  // namespace
}  // namespace varnox
