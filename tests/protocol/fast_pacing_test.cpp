// The requests paced fast, in simulated time: the same frames and acceptance
// rules as the fixed pacing, each look as early as the whole reply allows
// (plus the guard), the fixed looks as the latest moments.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "protocol/memory_requests.h"
#include "tests/protocol/reply_frames.h"
#include "tests/support/scripted_device.h"

namespace varnox {
namespace {

using testing::AckFrame;
using testing::At;
using testing::ByteByByte;
using testing::Bytes;
using testing::kIdentity;
using testing::Never;
using testing::ReadReplyFrame;
using testing::Reply;

constexpr double kExact = 1e-9;
const double kGuard = kGuardCharacters * 11.0 / 38400;
const Bytes kUntouched(6, 0xAA);

Reply Then(Reply reply, double after, Bytes bytes)
{
    reply.push_back({after, std::move(bytes)});
    return reply;
}

class FastRequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(port.Open(opener).ok());
        requests.Pacing = ReplyPacing::Fast;
        start = clock.Now();
    }

    double Elapsed() { return clock.Now() - start; }

    SimClock clock;
    testing::ScriptedLine line{clock};
    testing::ScriptedOpener opener{line};
    SerialPort port{1};
    MemoryRequests requests{port, clock};
    double start = 0;
    Bytes data = kUntouched;
};

TEST(CharacterTime, OfThePanelLineIsElevenBits)
{
    EXPECT_NEAR(CharacterSeconds(kPanelLine), 11.0 / 38400, kExact);
}

TEST_F(FastRequestTest, SendsTheSameFramesAsTheFixedPacing)
{
    line.ReplyToNextWrite(At(0.010, ReadReplyFrame(kReadMemory, 0xFED0, kIdentity)));
    line.ReplyToNextWrite(At(0.005, AckFrame()));
    ASSERT_TRUE(requests.ReadMemory(0xFED0, data.data(), 6).ok());
    const uint8_t value = 0xFF;
    ASSERT_TRUE(requests.WriteEeprom(0x000F, &value, 1).ok());

    ASSERT_EQ(line.Writes().size(), 2u);
    EXPECT_EQ(line.Writes()[0].bytes, (Bytes{0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x00}));
    EXPECT_EQ(line.Writes()[1].bytes, (Bytes{0x03, 0x04, 0x01, 0x05, 0x0F, 0x1E, 0xFF, 0xF3, 0x00}));
    EXPECT_EQ(data, kIdentity);
}

struct FastReply {
    const char* name;
    bool write;  // the 1-byte EEPROM write, else the 6-byte identity read
    Reply reply;
    LinkFailure failure;
    double waited;  // seconds from the send to the request's end
};

class FastPacing : public FastRequestTest, public ::testing::WithParamInterface<FastReply> {};

TEST_P(FastPacing, GoesOnWithTheWholeReplyAndKeepsTheFixedLooksAsLatest)
{
    const FastReply& c = GetParam();
    line.ReplyToNextWrite(c.reply);
    const uint8_t value = 0xFF;
    const LinkResult result =
        c.write ? requests.WriteEeprom(0x000F, &value, 1) : requests.ReadMemory(0xFED0, data.data(), 6);

    EXPECT_EQ(result.failure, c.failure) << result.text();
    EXPECT_NEAR(Elapsed(), c.waited, kExact);
    EXPECT_TRUE(port.IsOpen());
    if (!c.write) {
        EXPECT_EQ(data, c.failure == LinkFailure::None ? kIdentity : kUntouched);
    }
}

const Bytes kAck = AckFrame();
const Bytes kRead = ReadReplyFrame(kReadMemory, 0xFED0, kIdentity);
Bytes WithExtra(Bytes frame)
{
    frame.push_back(0x55);
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FastPacing,
    ::testing::Values(
        // Whole reply in: the guard, then on.
        FastReply{"AckAt5ms", true, At(0.005, kAck), LinkFailure::None, 0.005 + kGuard},
        FastReply{"ReadAt20ms", false, At(0.020, kRead), LinkFailure::None, 0.020 + kGuard},
        FastReply{"AckByteByByte", true, ByteByByte(0.010, 0.001, kAck), LinkFailure::None, 0.016 + kGuard},
        // One byte too many, with the reply or inside the guard: bad data.
        FastReply{"AckWithExtraByte", true, At(0.005, WithExtra(kAck)), LinkFailure::BadData, 0.005 + kGuard},
        FastReply{"AckExtraByteInTheGuard", true, Then(At(0.005, kAck), 0.005 + kGuard / 2, {0x55}),
                  LinkFailure::BadData, 0.005 + kGuard / 2},
        FastReply{"ReadExtraByteInTheGuard", false, Then(At(0.020, kRead), 0.0205, {0x55}), LinkFailure::BadData,
                  0.0205},
        // A stray byte after the guard belongs to nothing: the reply stands.
        FastReply{"AckExtraByteAfterTheGuard", true, Then(At(0.005, kAck), 0.005 + 2 * kGuard, {0x55}),
                  LinkFailure::None, 0.005 + kGuard},
        // Not whole by a fixed look: that look decides as in the fixed pacing.
        FastReply{"AckSixBytesBy150", true, At(0.1, Bytes(kAck.begin(), kAck.begin() + 6)), LinkFailure::BadData,
                  0.150},
        FastReply{"AckCompletedAfter150", true,
                  Then(At(0.1, Bytes(kAck.begin(), kAck.begin() + 5)), 0.160, Bytes(kAck.begin() + 5, kAck.end())),
                  LinkFailure::None, 0.160 + kGuard},
        FastReply{"AckLate", true, At(0.2105, kAck), LinkFailure::NoAnswer, 1.310},
        FastReply{"AckNever", true, Never(), LinkFailure::NoAnswer, 1.310},
        FastReply{"ReadCutAt250", false, At(0.1, Bytes(kRead.begin(), kRead.begin() + 12)), LinkFailure::BadData,
                  0.250},
        FastReply{"ReadLate", false, At(0.251, kRead), LinkFailure::NoAnswer, 0.250}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FastRequestTest, ClosedPortWaitsOutTheSameLooks)
{
    port.Close();
    EXPECT_EQ(requests.ReadMemory(0xFED0, data.data(), 6).failure, LinkFailure::NoAnswer);
    EXPECT_NEAR(Elapsed(), 0.250, 1e-3);
    const uint8_t value = 0xFF;
    EXPECT_EQ(requests.WriteEeprom(0x000F, &value, 1).failure, LinkFailure::NoAnswer);
    EXPECT_NEAR(Elapsed(), 0.250 + 1.310, 2e-3);
    EXPECT_TRUE(line.Writes().empty());
}

}  // namespace
}  // namespace varnox
