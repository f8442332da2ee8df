// The service-protocol requests in simulated time: every byte sent, every
// wait taken, and what each kind of reply leads to.

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
using testing::Frame;
using testing::kIdentity;
using testing::Never;
using testing::ReadReplyFrame;
using testing::Reply;
using testing::WithCrc;

constexpr double kExact = 1e-9;
const Bytes kUntouched(6, 0xAA);

class RequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(port.Open(opener).ok());
        start = clock.Now();
    }

    double Elapsed() { return clock.Now() - start; }

    // The frames the panel received, in order.
    std::vector<Bytes> Sent() const
    {
        std::vector<Bytes> frames;
        for (const auto& write : line.Writes())
            frames.push_back(write.bytes);
        return frames;
    }

    static void ExpectFailure(const LinkResult& result, LinkFailure failure, const char* text)
    {
        EXPECT_EQ(result.failure, failure);
        EXPECT_STREQ(result.text(), text);
    }

    SimClock clock;
    testing::ScriptedLine line{clock};
    testing::ScriptedOpener opener{line};
    SerialPort port{1};
    MemoryRequests requests{port, clock};
    double start = 0;
    Bytes data = kUntouched;
};

// ------------------------------------------------------------------ request frames

TEST_F(RequestTest, IdentityReadSendsItsFrameAndTakesTheReplyAfter250ms)
{
    line.ReplyToNextWrite(At(0.020, ReadReplyFrame(kReadMemory, 0xFED0, kIdentity)));
    ASSERT_TRUE(requests.ReadMemory(0xFED0, data.data(), 6).ok());

    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x00}}));
    EXPECT_EQ(data, kIdentity);
    EXPECT_NEAR(Elapsed(), 0.250, kExact);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(RequestTest, EepromWordReadSendsCode3)
{
    line.ReplyToNextWrite(At(0.1, ReadReplyFrame(kReadEeprom, 0x2820, {0x34, 0x12})));
    Bytes word(2, 0);
    ASSERT_TRUE(requests.ReadEeprom(0x2820, word.data(), 2).ok());
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x06, 0x03, 0x02, 0x28, 0x20, 0x0A, 0x00}}));
    EXPECT_EQ(word, (Bytes{0x34, 0x12}));
}

TEST_F(RequestTest, EepromByteWriteSendsItsFrame)
{
    line.ReplyToNextWrite(At(0.1, AckFrame()));
    const uint8_t value = 0xFF;
    ASSERT_TRUE(requests.WriteEeprom(0x000F, &value, 1).ok());
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x03, 0x04, 0x01, 0x05, 0x0F, 0x1E, 0xFF, 0xF3, 0x00}}));
}

TEST_F(RequestTest, SelectorOneWritesEepromAnyOtherValueMemory)
{
    const uint8_t value = 0xFF;
    for (int i = 0; i < 4; ++i)
        line.ReplyToNextWrite(At(0.1, AckFrame()));
    for (uint8_t selector : {0, 1, 2, 255})
        ASSERT_TRUE(requests.WriteMemory(0x000F, &value, 1, selector).ok()) << int(selector);

    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], (Bytes{0x03, 0x02, 0x01, 0x05, 0x0F, Crc8Bytes(Bytes{0x02, 0x01, 0x00, 0x0F}.data(), 4),
                              0xFF, 0xF3, 0x00}));
    EXPECT_EQ(sent[1], (Bytes{0x03, 0x04, 0x01, 0x05, 0x0F, 0x1E, 0xFF, 0xF3, 0x00}));
    EXPECT_EQ(sent[2], sent[0]);
    EXPECT_EQ(sent[3], sent[0]);
}

TEST_F(RequestTest, ChunkAddressCarriesTheLow16BitsOfTheImageOffset)
{
    const uint32_t offset = 0x24000;
    Bytes chunk(20);
    for (std::size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<uint8_t>(i * 13);  // holds a zero, which the stuffing removes
    line.ReplyToNextWrite(At(0.1, AckFrame(4, 20, 0x4000)));
    ASSERT_TRUE(requests.WriteEeprom(static_cast<uint16_t>(offset), chunk.data(), 20).ok());

    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    Bytes packet = WithCrc({0x04, 20, 0x40, 0x00});
    packet.insert(packet.end(), chunk.begin(), chunk.end());
    packet.push_back(Crc8Bytes(chunk.data(), chunk.size()));
    EXPECT_EQ(sent[0].size(), 28u);
    EXPECT_EQ(sent[0], Frame(packet));
}

TEST_F(RequestTest, StaleInputIsFlushedBeforeTheRequest)
{
    line.Inject(clock.Now(), {0x00, 0x13, 0x37, 0x00});
    line.ReplyToNextWrite(At(0.020, ReadReplyFrame(kReadMemory, 0xFED0, kIdentity)));
    ASSERT_TRUE(requests.ReadMemory(0xFED0, data.data(), 6).ok());
    EXPECT_EQ(data, kIdentity);
}

TEST_F(RequestTest, CountBeyond247IsRefusedWithoutSendingAnything)
{
    Bytes big(248, 0x11);
    ExpectFailure(requests.ReadMemory(0, big.data(), 248), LinkFailure::CountTooLarge, kCountTooLargeText);
    ExpectFailure(requests.WriteEeprom(0, big.data(), 255), LinkFailure::CountTooLarge, kCountTooLargeText);

    EXPECT_TRUE(line.Writes().empty());
    EXPECT_EQ(big, Bytes(248, 0x11));
    EXPECT_NEAR(Elapsed(), 0.0, kExact);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(RequestTest, LargestCountFillsA255ByteReplyFrame)
{
    Bytes payload(247);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i);
    const Bytes reply = ReadReplyFrame(kReadMemory, 0x1000, payload);
    ASSERT_EQ(reply.size(), 255u);
    line.ReplyToNextWrite(At(0.1, reply));

    Bytes got(247, 0xAA);
    ASSERT_TRUE(requests.ReadMemory(0x1000, got.data(), 247).ok());
    EXPECT_EQ(got, payload);
}

// ------------------------------------------------------------------ read replies

TEST_F(RequestTest, ReadReplyMustBeInTheInputAtTheSingleLook)
{
    // Complete exactly at the look: accepted.
    line.ReplyToNextWrite(ByteByByte(0.237, 0.001, ReadReplyFrame(kReadMemory, 0xFED0, kIdentity)));
    EXPECT_TRUE(requests.ReadMemory(0xFED0, data.data(), 6).ok());
    EXPECT_NEAR(Elapsed(), 0.250, kExact);

    // A millisecond too late: the read does not look again.
    data = kUntouched;
    line.ReplyToNextWrite(At(0.251, ReadReplyFrame(kReadMemory, 0xFED0, kIdentity)));
    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::NoAnswer, kNoAnswerText);
    EXPECT_NEAR(Elapsed(), 0.500, kExact);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
    EXPECT_EQ(data, kUntouched);
}

struct ArrivedAtTheLook {
    const char* name;
    std::size_t bytes;  // of the 14-byte reply frame to a 6-byte read
    LinkFailure failure;
};

class ReadReplyCut : public RequestTest, public ::testing::WithParamInterface<ArrivedAtTheLook> {};

TEST_P(ReadReplyCut, IsJudgedOnTheBytesThereAtTheLook)
{
    const Bytes frame = ReadReplyFrame(kReadMemory, 0xFED0, kIdentity);
    const std::size_t arrived = GetParam().bytes;
    Reply reply = At(0.1, Bytes(frame.begin(), frame.begin() + static_cast<long>(arrived)));
    reply.push_back({0.3, Bytes(frame.begin() + static_cast<long>(arrived), frame.end())});
    line.ReplyToNextWrite(reply);

    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), GetParam().failure,
                  LinkFailureText(GetParam().failure));
    EXPECT_NEAR(Elapsed(), 0.250, kExact);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
    EXPECT_EQ(data, kUntouched);
}

INSTANTIATE_TEST_SUITE_P(Threshold, ReadReplyCut,
                         ::testing::Values(ArrivedAtTheLook{"None", 0, LinkFailure::NoAnswer},
                                           ArrivedAtTheLook{"CountPlus5", 11, LinkFailure::NoAnswer},
                                           ArrivedAtTheLook{"CountPlus6", 12, LinkFailure::BadData},
                                           ArrivedAtTheLook{"CountPlus7", 13, LinkFailure::BadData}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RequestTest, ReadReplyWithOneByteMoreIsBadData)
{
    Bytes input = ReadReplyFrame(kReadMemory, 0xFED0, kIdentity);
    input.push_back(0x06);
    line.ReplyToNextWrite(At(0.1, input));

    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::BadData, kBadDataText);
    EXPECT_EQ(std::string(kBadDataText),
              std::string("Errore Lettura da centrale : BAD DATA") + std::string(7, ' '));
    EXPECT_TRUE(port.IsOpen());  // left as it was, like after the other failures
    EXPECT_EQ(data, kUntouched);
}

TEST_F(RequestTest, ReadReplyWithWrongCheckIsBadChecksum)
{
    Bytes packet = testing::ReadReplyPacket(kReadMemory, 0xFED0, kIdentity);
    packet.back() ^= 0x01;
    line.ReplyToNextWrite(At(0.1, Frame(packet)));

    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::BadChecksum, kBadChecksumText);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
    EXPECT_EQ(data, kUntouched);
}

TEST_F(RequestTest, ReadReplyHeaderIsNotCompared)
{
    // Another code, count and address in the header: only the check counts.
    line.ReplyToNextWrite(At(0.1, ReadReplyFrame(0x7E, 0x1234, kIdentity)));
    EXPECT_TRUE(requests.ReadMemory(0xFED0, data.data(), 6).ok());
    EXPECT_EQ(data, kIdentity);
}

TEST_F(RequestTest, ReadReplyOfAnotherLengthPassesWhenItsCheckHolds)
{
    // A 13-byte packet (count + 7): the check byte is looked for at position
    // count + 5 and must equal the CRC of the 12 bytes before the last one.
    Bytes packet = WithCrc({0x01, 0x06, 0xFE, 0xD0});
    packet.insert(packet.end(), {0x10, 0x20, 0x30, 0x40, 0x50, 0x00});
    bool found = false;
    for (int last_data = 0; last_data < 256 && !found; ++last_data) {
        packet[10] = static_cast<uint8_t>(last_data);
        const uint8_t before = Crc8Bytes(packet.data(), 11);
        for (int check = 0; check < 256 && !found; ++check) {
            if (kCrc8Table[before ^ check] == check) {
                packet.resize(11);
                packet.push_back(static_cast<uint8_t>(check));
                packet.push_back(0x99);
                found = true;
            }
        }
    }
    ASSERT_TRUE(found);
    ASSERT_EQ(Crc8Bytes(packet.data(), 12), packet[11]);
    line.ReplyToNextWrite(At(0.1, Frame(packet)));

    ASSERT_TRUE(requests.ReadMemory(0xFED0, data.data(), 6).ok());
    EXPECT_EQ(data, Bytes(packet.begin() + 5, packet.begin() + 11));
}

TEST_F(RequestTest, ReadReplyTooShortToHoldTheDataFailsTheCheck)
{
    // A 10-byte packet in a 12-byte frame: enough bytes at the look, and the CRC
    // of its first 9 bytes is 0, equal to the zero the decoder leaves at
    // position 11. Taken as it stands, the last data bytes would be that zero.
    Bytes packet = WithCrc({0x01, 0x06, 0xFE, 0xD0});
    const Bytes tail = WithCrc({0x10, 0x20, 0x30});
    packet.insert(packet.end(), tail.begin(), tail.end());
    packet.push_back(0x77);
    ASSERT_EQ(Crc8Bytes(packet.data(), 9), 0);
    ASSERT_EQ(Frame(packet).size(), 12u);
    line.ReplyToNextWrite(At(0.1, Frame(packet)));

    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::BadChecksum, kBadChecksumText);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
    EXPECT_EQ(data, kUntouched);
}

TEST_F(RequestTest, AcknowledgementWithoutItsCheckByteFailsTheCheck)
{
    // A 4-byte packet whose first three bytes have the CRC 0: only the zero
    // the decoder leaves behind would stand where the check byte belongs.
    Bytes packet = WithCrc({0x04, 0x01});
    packet.push_back(0x0F);
    ASSERT_EQ(packet.size(), 4u);
    ASSERT_EQ(Crc8Bytes(packet.data(), 3), 0);
    line.ReplyToNextWrite(At(0.1, Frame(packet)));

    const uint8_t byte = 0xFF;
    ExpectFailure(requests.WriteEeprom(0x000F, &byte, 1), LinkFailure::BadChecksum, kBadChecksumText);
}

TEST_F(RequestTest, MoreInputThanAFrameCanHoldIsBadDataWithoutOverflow)
{
    // 270 bytes: counted in 8 bits they would look like the 14-byte reply at their start.
    for (std::size_t size : {256u, 270u, 300u, 1000u}) {
        Bytes flood = ReadReplyFrame(kReadMemory, 0xFED0, kIdentity);
        flood.resize(size, 0x5A);
        line.ReplyToNextWrite(At(0.1, flood));
        data = kUntouched;

        ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::BadData, kBadDataText);
        EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
        EXPECT_EQ(data, kUntouched);
    }
}

TEST_F(RequestTest, FloodIsReadAndDiscarded)
{
    // The port stays open, so what is left would show.
    Bytes flood(600, 0x5A);
    line.ReplyToNextWrite(At(0.1, flood));
    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::BadData, kBadDataText);
    EXPECT_EQ(line.Waiting(), 0);
}

TEST_F(RequestTest, ShortReadIsJudgedOnWhatArrived)
{
    const Bytes frame = ReadReplyFrame(kReadMemory, 0xFED0, kIdentity);

    // Fewer bytes than the threshold delivered: no answer.
    line.LimitReads(11);
    line.ReplyToNextWrite(At(0.1, frame));
    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::NoAnswer, kNoAnswerText);

    // Enough delivered but the frame cut: bad data.
    ASSERT_TRUE(port.Open(opener).ok());
    line.LimitReads(13);
    line.ReplyToNextWrite(At(0.1, frame));
    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::BadData, kBadDataText);
    EXPECT_EQ(data, kUntouched);

    // A failing read delivers nothing.
    ASSERT_TRUE(port.Open(opener).ok());
    line.LimitReads(-1);
    line.FailReads(true);
    line.ReplyToNextWrite(At(0.1, frame));
    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::NoAnswer, kNoAnswerText);
    line.FailReads(false);

    // The whole frame delivered, a stray byte after it left unread: accepted.
    ASSERT_TRUE(port.Open(opener).ok());
    line.LimitReads(14);
    Bytes with_stray = frame;
    with_stray.push_back(0x42);
    line.ReplyToNextWrite(At(0.1, with_stray));
    EXPECT_TRUE(requests.ReadMemory(0xFED0, data.data(), 6).ok());
    EXPECT_EQ(data, kIdentity);
}

// ------------------------------------------------------------------ write acknowledgements

struct AckTiming {
    const char* name;
    Reply reply;
    LinkFailure failure;
    double waited;  // seconds from the write to the end of the request
};

class WriteAck : public RequestTest, public ::testing::WithParamInterface<AckTiming> {};

TEST_P(WriteAck, IsLookedForAt150And170And210ms)
{
    line.ReplyToNextWrite(GetParam().reply);
    const uint8_t value = 0xFF;
    const LinkResult result = requests.WriteEeprom(0x000F, &value, 1);

    EXPECT_EQ(result.failed(), GetParam().failure != LinkFailure::None);
    ExpectFailure(result, GetParam().failure, LinkFailureText(GetParam().failure));
    EXPECT_NEAR(Elapsed(), GetParam().waited, kExact);
    EXPECT_TRUE(port.IsOpen());
}

const Bytes kAck = AckFrame();

INSTANTIATE_TEST_SUITE_P(
    Timing, WriteAck,
    ::testing::Values(
        AckTiming{"AlreadyThere", At(0.0, kAck), LinkFailure::None, 0.150},
        AckTiming{"By150", At(0.150, kAck), LinkFailure::None, 0.150},
        AckTiming{"Just150", At(0.1505, kAck), LinkFailure::None, 0.170},
        AckTiming{"By170", At(0.170, kAck), LinkFailure::None, 0.170},
        AckTiming{"Just170", At(0.1705, kAck), LinkFailure::None, 0.210},
        AckTiming{"By210", At(0.210, kAck), LinkFailure::None, 0.210},
        AckTiming{"ByteByByteBy170", ByteByByte(0.164, 0.001, kAck), LinkFailure::None, 0.170},
        AckTiming{"Late", At(0.2105, kAck), LinkFailure::NoAnswer, 1.310},
        AckTiming{"DuringTheTail", At(0.300, kAck), LinkFailure::NoAnswer, 1.310},
        AckTiming{"Never", Never(), LinkFailure::NoAnswer, 1.310},
        AckTiming{"FiveBytesOnly", At(0.1, Bytes(kAck.begin(), kAck.begin() + 5)), LinkFailure::NoAnswer, 1.310},
        // Six of seven bytes at the first look: taken at once, cut.
        AckTiming{"StillArriving", ByteByByte(0.145, 0.001, kAck), LinkFailure::BadData, 0.150},
        AckTiming{"OneByteMore",
                  At(0.1,
                     [] {
                         Bytes b = AckFrame();
                         b.push_back(0x01);
                         return b;
                     }()),
                  LinkFailure::BadData, 0.150},
        AckTiming{"BadCheck", At(0.1, Frame({0x04, 0x01, 0x00, 0x0F, 0x1F})), LinkFailure::BadChecksum, 0.150},
        AckTiming{"Garbage", At(0.1, Bytes(7, 0x33)), LinkFailure::BadData, 0.150}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RequestTest, WriteFailureLeavesTheCallersDataAlone)
{
    line.ReplyToNextWrite(At(0.1, Bytes(400, 0x01)));
    const Bytes chunk(20, 0x42);
    Bytes copy = chunk;
    ExpectFailure(requests.WriteEeprom(0x4000, copy.data(), 20), LinkFailure::BadData, kBadDataText);
    EXPECT_EQ(copy, chunk);
    EXPECT_TRUE(port.IsOpen());  // the request leaves the port as it found it
}

// ------------------------------------------------------------------ port state and texts

TEST_F(RequestTest, RequestOnAClosedPortFailsAfterItsUsualWaits)
{
    port.Close();
    const double closed_at = clock.Now();
    ExpectFailure(requests.ReadMemory(0xFED0, data.data(), 6), LinkFailure::NoAnswer, kNoAnswerText);
    EXPECT_NEAR(clock.Now() - closed_at, 0.250, kExact);

    const uint8_t value = 0xFF;
    ExpectFailure(requests.WriteEeprom(0x000F, &value, 1), LinkFailure::NoAnswer, kNoAnswerText);
    EXPECT_NEAR(clock.Now() - closed_at, 0.250 + 1.310, kExact);

    EXPECT_TRUE(line.Writes().empty());
    EXPECT_EQ(data, kUntouched);
}

TEST(RequestWithoutPort, BeforeTheFirstOpenFailsWithNoAnswer)
{
    SimClock clock;
    testing::ScriptedLine line(clock);
    testing::ScriptedOpener opener(line);
    SerialPort port(1);
    MemoryRequests requests(port, clock);
    const double start = clock.Now();

    Bytes data = kUntouched;
    EXPECT_EQ(requests.ReadMemory(0xFED0, data.data(), 6).failure, LinkFailure::NoAnswer);
    EXPECT_NEAR(clock.Now() - start, 0.250, kExact);
    EXPECT_EQ(data, kUntouched);
    EXPECT_TRUE(line.Writes().empty());
}

TEST(LinkFailureTexts, AreTheFixedMessages)
{
    EXPECT_STREQ(LinkFailureText(LinkFailure::NoAnswer), "Errore Lettura da centrale : No Answer");
    EXPECT_STREQ(LinkFailureText(LinkFailure::BadData), "Errore Lettura da centrale : BAD DATA       ");
    EXPECT_STREQ(LinkFailureText(LinkFailure::BadChecksum), "Errore Lettura da centrale : BAD CKSUM");
    EXPECT_STREQ(LinkFailureText(LinkFailure::CountTooLarge), kCountTooLargeText);
    EXPECT_STREQ(LinkFailureText(LinkFailure::None), "");
}

}  // namespace
}  // namespace varnox
