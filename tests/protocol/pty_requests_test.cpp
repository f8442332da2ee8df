// The requests over a real pseudo-terminal at real time, through the Linux
// serial backend, with a scripted panel on the far end. Wall time is only
// checked loosely, to prove that nothing hangs.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "comm/linux/serial_linux.h"
#include "comm/port_map.h"
#include "comm/serial_port.h"
#include "core/clock.h"
#include "protocol/memory_requests.h"
#include "tests/protocol/reply_frames.h"
#include "tests/support/pty_pair.h"

namespace varnox {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using testing::AckFrame;
using testing::Bytes;
using testing::Frame;
using testing::kIdentity;
using testing::ReadReplyFrame;

const Bytes kIdentityRequest = {0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x00};
const Bytes kByteWriteRequest = {0x03, 0x04, 0x01, 0x05, 0x0F, 0x1E, 0xFF, 0xF3, 0x00};

// What the panel sends, `after_ms` after it has received the whole request.
struct Step {
    int after_ms;
    Bytes bytes;
};

// The panel on the master side: takes one request of a known size, then
// answers by its script. Joined before the pty goes away.
class ScriptedPanel {
public:
    ScriptedPanel(testing::PtyPair& pty, std::size_t request_size, std::vector<Step> steps)
        : thread_([this, &pty, request_size, steps = std::move(steps)] {
              received_ = pty.Read(request_size, 3000);
              if (received_.size() != request_size)
                  return;
              const auto got_request = steady_clock::now();
              for (const Step& step : steps) {
                  std::this_thread::sleep_until(got_request + milliseconds(step.after_ms));
                  pty.Write(step.bytes);
              }
          })
    {
    }
    ~ScriptedPanel() { Join(); }

    Bytes Received()
    {
        Join();
        return received_;
    }

private:
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    Bytes received_;
    std::thread thread_;
};

class PtyRequestTest : public ::testing::Test {
protected:
    PtyRequestTest() : opener(MapCom1()) {}

    void SetUp() override
    {
        const CommResult opened = port.Open(opener);
        ASSERT_TRUE(opened.ok()) << opened.system;
    }

    PortMap MapCom1()
    {
        PortMap map;
        map.Map(1, pty.SlavePath());
        return map;
    }

    double Seconds(steady_clock::time_point since)
    {
        return std::chrono::duration<double>(steady_clock::now() - since).count();
    }

    testing::PtyPair pty;
    PosixPortOpener opener;
    SerialPort port{1};
    SteadyClock clock;
    MemoryRequests requests{port, clock};
    Bytes data = Bytes(6, 0xAA);
};

TEST_F(PtyRequestTest, IdentityReadIsAccepted)
{
    ScriptedPanel panel(pty, 7, {{20, ReadReplyFrame(kReadMemory, 0xFED0, kIdentity)}});
    const auto start = steady_clock::now();
    const LinkResult result = requests.ReadMemory(0xFED0, data.data(), 6);
    ASSERT_TRUE(result.ok()) << result.text();
    EXPECT_GE(Seconds(start), 0.249);
    EXPECT_LT(Seconds(start), 2.0);
    EXPECT_EQ(panel.Received(), kIdentityRequest);
    EXPECT_EQ(data, kIdentity);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(PtyRequestTest, SilentPanelIsNoAnswer)
{
    ScriptedPanel panel(pty, 7, {});
    const LinkResult result = requests.ReadMemory(0xFED0, data.data(), 6);
    EXPECT_EQ(result.failure, LinkFailure::NoAnswer);
    EXPECT_STREQ(result.text(), kNoAnswerText);
    EXPECT_EQ(panel.Received(), kIdentityRequest);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
    EXPECT_EQ(data, Bytes(6, 0xAA));
}

TEST_F(PtyRequestTest, ReplyStillArrivingAtTheLookIsBadData)
{
    const Bytes frame = ReadReplyFrame(kReadMemory, 0xFED0, kIdentity);
    ScriptedPanel panel(
        pty, 7, {{20, Bytes(frame.begin(), frame.begin() + 12)}, {600, Bytes(frame.begin() + 12, frame.end())}});
    const LinkResult result = requests.ReadMemory(0xFED0, data.data(), 6);
    EXPECT_EQ(result.failure, LinkFailure::BadData);
    EXPECT_STREQ(result.text(), kBadDataText);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
}

TEST_F(PtyRequestTest, OneByteTooManyIsBadData)
{
    Bytes input = ReadReplyFrame(kReadMemory, 0xFED0, kIdentity);
    input.push_back(0x01);
    ScriptedPanel panel(pty, 7, {{20, input}});
    const LinkResult result = requests.ReadMemory(0xFED0, data.data(), 6);
    EXPECT_EQ(result.failure, LinkFailure::BadData);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
    EXPECT_EQ(data, Bytes(6, 0xAA));
}

TEST_F(PtyRequestTest, WrongCheckIsBadChecksum)
{
    Bytes packet = testing::ReadReplyPacket(kReadMemory, 0xFED0, kIdentity);
    packet.back() ^= 0x80;
    ScriptedPanel panel(pty, 7, {{20, Frame(packet)}});
    const LinkResult result = requests.ReadMemory(0xFED0, data.data(), 6);
    EXPECT_EQ(result.failure, LinkFailure::BadChecksum);
    EXPECT_STREQ(result.text(), kBadChecksumText);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
}

TEST_F(PtyRequestTest, WriteAcknowledgedAtTheFirstLook)
{
    ScriptedPanel panel(pty, 9, {{20, AckFrame()}});
    const uint8_t value = 0xFF;
    const auto start = steady_clock::now();
    const LinkResult result = requests.WriteEeprom(0x000F, &value, 1);
    ASSERT_TRUE(result.ok()) << result.text();
    EXPECT_GE(Seconds(start), 0.149);
    EXPECT_LT(Seconds(start), 1.0);  // none of the later waits
    EXPECT_EQ(panel.Received(), kByteWriteRequest);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(PtyRequestTest, WriteAcknowledgedTooLateIsNoAnswer)
{
    ScriptedPanel panel(pty, 9, {{500, AckFrame()}});
    const uint8_t value = 0xFF;
    const auto start = steady_clock::now();
    const LinkResult result = requests.WriteEeprom(0x000F, &value, 1);
    EXPECT_GE(Seconds(start), 1.309);
    EXPECT_LT(Seconds(start), 5.0);
    EXPECT_EQ(result.failure, LinkFailure::NoAnswer);
    EXPECT_STREQ(result.text(), kNoAnswerText);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
}

TEST_F(PtyRequestTest, RequestOnAClosedPortSendsNothing)
{
    port.Close();
    ASSERT_FALSE(port.IsOpen());
    const auto start = steady_clock::now();
    const LinkResult result = requests.ReadMemory(0xFED0, data.data(), 6);
    EXPECT_GE(Seconds(start), 0.249);
    EXPECT_LT(Seconds(start), 2.0);
    EXPECT_EQ(result.failure, LinkFailure::NoAnswer);
    EXPECT_TRUE(pty.Read(1, 200).empty());
}

}  // namespace
}  // namespace varnox
