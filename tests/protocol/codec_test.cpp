// Frame codec and CRC-8: the worked examples both ways, the frames that must
// be rejected without touching the buffer, and a round trip over random packets.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "protocol/cobs.h"
#include "protocol/crc8.h"

namespace varnox {
namespace {

using Bytes = std::vector<uint8_t>;

TPacketBuffer Load(const Bytes& bytes)
{
    TPacketBuffer buffer;
    buffer.Length = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), buffer.Bytes);
    return buffer;
}

Bytes Contents(const TPacketBuffer& buffer)
{
    return Bytes(buffer.Bytes, buffer.Bytes + buffer.Length);
}

bool Same(const TPacketBuffer& a, const TPacketBuffer& b)
{
    return a.Length == b.Length && std::memcmp(a.Bytes, b.Bytes, sizeof a.Bytes) == 0;
}

// ------------------------------------------------------------------ CRC-8

TEST(Crc8, CatalogueCheckValueAndTableEntries)
{
    const char* digits = "123456789";
    EXPECT_EQ(Crc8Bytes(reinterpret_cast<const uint8_t*>(digits), 9), 0xF4);
    EXPECT_EQ(Crc8(Load(Bytes(digits, digits + 9)), 0, 9), 0xF4);

    EXPECT_EQ(kCrc8Table[0], 0x00);
    EXPECT_EQ(kCrc8Table[1], 0x07);
    EXPECT_EQ(kCrc8Table[2], 0x0E);
    EXPECT_EQ(kCrc8Table[255], 0xF3);
}

TEST(Crc8, RequestHeadersAndTheirCheckSumToZero)
{
    EXPECT_EQ(Crc8(Load({0x48, 0x01, 0x01, 0x01}), 0, 4), 0x52);
    EXPECT_EQ(Crc8(Load({0x01, 0x06, 0xFE, 0xD0}), 0, 4), 0x97);
    EXPECT_EQ(Crc8(Load({0x03, 0x02, 0x28, 0x20}), 0, 4), 0x0A);
    EXPECT_EQ(Crc8(Load({0x04, 0x01, 0x00, 0x0F}), 0, 4), 0x1E);
    EXPECT_EQ(Crc8(Load({0xFF}), 0, 1), 0xF3);  // data check of the single byte 0xFF

    for (const Bytes& header : {Bytes{0x48, 0x01, 0x01, 0x01, 0x52}, Bytes{0x01, 0x06, 0xFE, 0xD0, 0x97},
                                Bytes{0x03, 0x02, 0x28, 0x20, 0x0A}, Bytes{0x04, 0x01, 0x00, 0x0F, 0x1E}})
        EXPECT_EQ(Crc8(Load(header), 0, 5), 0) << ::testing::PrintToString(header);
}

TEST(Crc8, CountZeroIsZeroAndIndexWrapsAt256)
{
    TPacketBuffer buffer = Load({0x12, 0x34});
    EXPECT_EQ(Crc8(buffer, 0, 0), 0);
    EXPECT_EQ(Crc8(buffer, 200, 0), 0);

    buffer.Bytes[254] = 0xAA;
    buffer.Bytes[255] = 0xBB;
    const uint8_t run[] = {0xAA, 0xBB, 0x12, 0x34};
    EXPECT_EQ(Crc8(buffer, 254, 4), Crc8Bytes(run, 4));
}

// ------------------------------------------------------------------ COBS worked examples

struct WorkedExample {
    const char* name;
    Bytes packet;
    Bytes frame;
};

class CobsWorkedExample : public ::testing::TestWithParam<WorkedExample> {};

TEST_P(CobsWorkedExample, EncodesToItsFrame)
{
    TPacketBuffer buffer = Load(GetParam().packet);
    CobsEncode(buffer);
    EXPECT_EQ(Contents(buffer), GetParam().frame);
}

TEST_P(CobsWorkedExample, FrameIsAcceptedAndDecodesToItsPacket)
{
    TPacketBuffer buffer = Load(GetParam().frame);
    EXPECT_TRUE(CobsCheck(buffer));
    ASSERT_TRUE(CobsDecode(buffer).ok());
    EXPECT_EQ(Contents(buffer), GetParam().packet);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CobsWorkedExample,
    ::testing::Values(
        WorkedExample{"Handshake", {0x48, 0x01, 0x01, 0x01, 0x52}, {0x06, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00}},
        WorkedExample{"ReadIdentity", {0x01, 0x06, 0xFE, 0xD0, 0x97}, {0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x00}},
        WorkedExample{
            "ReadEepromWord", {0x03, 0x02, 0x28, 0x20, 0x0A}, {0x06, 0x03, 0x02, 0x28, 0x20, 0x0A, 0x00}},
        WorkedExample{"WriteEepromByte",
                      {0x04, 0x01, 0x00, 0x0F, 0x1E, 0xFF, 0xF3},
                      {0x03, 0x04, 0x01, 0x05, 0x0F, 0x1E, 0xFF, 0xF3, 0x00}},
        WorkedExample{"InnerZero", {0x11, 0x00, 0x22}, {0x02, 0x11, 0x02, 0x22, 0x00}},
        WorkedExample{"TrailingZero", {0x11, 0x00}, {0x02, 0x11, 0x01, 0x00}},
        WorkedExample{"SingleZero", {0x00}, {0x01, 0x01, 0x00}}, WorkedExample{"Empty", {}, {0x01, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------ COBS limits

TEST(CobsEncode, LargestPacketGivesA255ByteFrame)
{
    Bytes packet(kMaxPacketLength);
    for (std::size_t i = 0; i < packet.size(); ++i)
        packet[i] = static_cast<uint8_t>(1 + i % 255);
    TPacketBuffer buffer = Load(packet);
    CobsEncode(buffer);

    ASSERT_EQ(buffer.Length, 255);
    EXPECT_EQ(buffer.Bytes[0], 0xFE);
    EXPECT_EQ(buffer.Bytes[254], 0x00);
    EXPECT_EQ(Bytes(buffer.Bytes + 1, buffer.Bytes + 254), packet);

    ASSERT_TRUE(CobsDecode(buffer).ok());
    EXPECT_EQ(Contents(buffer), packet);
}

TEST(CobsEncode, PacketTooLongToFrameIsLeftAlone)
{
    TPacketBuffer buffer = Load(Bytes(254, 0x5A));
    const TPacketBuffer before = buffer;
    CobsEncode(buffer);
    EXPECT_TRUE(Same(buffer, before));
}

TEST(CobsDecode, ZeroInsideAGroupIsTakenAsData)
{
    TPacketBuffer buffer = Load({0x03, 0x11, 0x00, 0x00});
    ASSERT_TRUE(CobsDecode(buffer).ok());
    EXPECT_EQ(Contents(buffer), (Bytes{0x11, 0x00}));
}

TEST(CobsDecode, LeavesImpliedZeroAndDelimiterBehindThePacket)
{
    TPacketBuffer buffer = Load({0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x00});
    ASSERT_TRUE(CobsDecode(buffer).ok());
    EXPECT_EQ(buffer.Length, 5);
    EXPECT_EQ(buffer.Bytes[5], 0x00);
    EXPECT_EQ(buffer.Bytes[6], 0x00);
}

TEST(CobsDecode, BytesBeyondTheFrameDoNotMatter)
{
    TPacketBuffer buffer = Load({0x02, 0x11, 0x01, 0x00});
    std::memset(buffer.Bytes + 4, 0x00, 252);
    TPacketBuffer other = Load({0x02, 0x11, 0x01, 0x00});
    std::memset(other.Bytes + 4, 0xFF, 252);
    EXPECT_TRUE(CobsCheck(buffer));
    EXPECT_TRUE(CobsCheck(other));
    ASSERT_TRUE(CobsDecode(other).ok());
    EXPECT_EQ(Contents(other), (Bytes{0x11, 0x00}));
}

// ------------------------------------------------------------------ COBS rejections

struct Rejected {
    const char* name;
    Bytes frame;
    uint8_t length;  // the length byte, which may disagree with the frame's size
};

class CobsRejects : public ::testing::TestWithParam<Rejected> {};

TEST_P(CobsRejects, FailsAndLeavesTheBufferAsItWas)
{
    TPacketBuffer buffer = Load(GetParam().frame);
    buffer.Length = GetParam().length;
    buffer.Bytes[255] = 0x77;  // stale byte at the far end, must survive too
    const TPacketBuffer before = buffer;

    EXPECT_FALSE(CobsCheck(buffer));
    EXPECT_EQ(CobsDecode(buffer).failure, LinkFailure::BadData);
    EXPECT_TRUE(Same(buffer, before));
}

Bytes WithCodeFFAt(std::size_t where, std::size_t frame_length)
{
    // A chain of code bytes 02 that reaches `where`, where it meets 0xFF.
    Bytes frame(frame_length, 0x02);
    frame[where] = 0xFF;
    frame.back() = 0x00;
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, CobsRejects,
    ::testing::Values(Rejected{"LengthZero", {0x01, 0x00}, 0}, Rejected{"LengthOne", {0x00}, 1},
                      Rejected{"LengthOneNonZero", {0x01}, 1},
                      Rejected{"LeadingZero", {0x00, 0x48, 0x01, 0x00}, 4},
                      Rejected{"ExtraByteAfterDelimiter", {0x06, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00, 0x41}, 8},
                      Rejected{"ExtraZeroAfterDelimiter", {0x06, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00, 0x00}, 8},
                      Rejected{"CutBeforeDelimiter", {0x06, 0x48, 0x01, 0x01, 0x01, 0x52}, 6},
                      Rejected{"CodeRunsPastEnd", {0x07, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00}, 7},
                      Rejected{"CodeStopsShortOfEnd", {0x05, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00}, 7},
                      Rejected{"ZeroCodeInChain", {0x02, 0x11, 0x00, 0x05, 0x00}, 5},
                      Rejected{"LastByteNotZero", {0x02, 0x11, 0x01, 0x33}, 4},
                      Rejected{"CodeFFFirstShort", {0xFF, 0x00}, 2},
                      Rejected{"CodeFFFirstFull", WithCodeFFAt(0, 255), 255},
                      Rejected{"CodeFFMidChain", WithCodeFFAt(10, 255), 255},
                      Rejected{"CodeFFLastCode", WithCodeFFAt(252, 255), 255},
                      Rejected{"CodeFFShortFrame", WithCodeFFAt(4, 9), 9}),
    [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------ round trip

TEST(CobsRoundTrip, RandomPacketsOfEveryLength)
{
    std::mt19937 random(20240611);
    // From packets with no zero to packets nearly all zeros.
    for (double zero_share : {0.0, 0.1, 0.5, 0.9}) {
        std::bernoulli_distribution zero(zero_share);
        std::uniform_int_distribution<int> nonzero(1, 255);
        for (unsigned length = 0; length <= kMaxPacketLength; ++length) {
            Bytes packet(length);
            for (uint8_t& byte : packet)
                byte = zero(random) ? 0 : static_cast<uint8_t>(nonzero(random));

            TPacketBuffer buffer = Load(packet);
            std::memset(buffer.Bytes + length, 0xEE, 256 - length);
            CobsEncode(buffer);

            ASSERT_EQ(buffer.Length, length + 2);
            for (unsigned i = 0; i + 1 < buffer.Length; ++i)
                ASSERT_NE(buffer.Bytes[i], 0) << "length " << length << " index " << i;
            ASSERT_EQ(buffer.Bytes[buffer.Length - 1], 0);
            ASSERT_TRUE(CobsCheck(buffer));

            ASSERT_TRUE(CobsDecode(buffer).ok());
            ASSERT_EQ(Contents(buffer), packet) << "length " << length;
        }
    }
}

TEST(CobsRoundTrip, RandomBuffersNeverDecodeToMoreThanTheFrameHeld)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 20000; ++i) {
        TPacketBuffer buffer;
        buffer.Length = static_cast<uint8_t>(byte(random));
        for (uint8_t& b : buffer.Bytes)
            b = static_cast<uint8_t>(byte(random) < 40 ? 0 : byte(random));
        const uint8_t frame_length = buffer.Length;
        const bool valid = CobsCheck(buffer);
        ASSERT_EQ(CobsDecode(buffer).failed(), !valid);
        if (valid) {
            ASSERT_EQ(buffer.Length, frame_length - 2);
        }
    }
}

}  // namespace
}  // namespace varnox
