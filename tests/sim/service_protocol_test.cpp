// The simulated panel's service protocol: replies byte for byte, their timing
// against the tool's looks, and what the requests do to the panel's memory.

#include <gtest/gtest.h>

#include "panel_test_support.h"

namespace varnox {
namespace {

using testing::ArrivedAfter;
using testing::Bytes;
using testing::Exchange;
using testing::ReadRequest;
using testing::ValuesOf;
using testing::WriteRequest;

constexpr double kT = 10.0;

TEST(ServiceProtocol, IdentityReadIsAnsweredWithTheWholeFrameLongBeforeTheLook)
{
    SimPanel panel;
    const Bytes request = ReadRequest(1, 0xFED0, 6);
    ASSERT_EQ(request, (Bytes{0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x00}));

    const auto reply = Exchange(panel, request, kT);
    // Header echoed, identity 00 00 0B 20 00 00, CRC of all before it.
    EXPECT_EQ(ValuesOf(reply),
              (Bytes{0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x01, 0x03, 0x0B, 0x20, 0x01, 0x02, 0xC9, 0x00}));
    // Complete about 20 ms after the write, nothing of it before the request was through.
    EXPECT_EQ(ArrivedAfter(reply, kT, 0.030), 14u);
    EXPECT_EQ(ArrivedAfter(reply, kT, 7 * 11.0 / 38400), 0u);
    // The frame is handed over in one piece once its last byte is through
    // the line: request, reply delay, then 14 bytes at the line rate.
    EXPECT_EQ(reply[0].At, reply[13].At);
    EXPECT_NEAR(reply[13].At - kT, 21 * 11.0 / 38400 + 0.014, 1e-9);

    ASSERT_EQ(panel.Requests().size(), 1u);
    EXPECT_EQ(panel.Requests()[0].Kind, RequestKind::ReadMemory);
    EXPECT_EQ(panel.Requests()[0].Address, 0xFED0u);
    EXPECT_TRUE(panel.Requests()[0].Answered);
}

TEST(ServiceProtocol, EepromWordIsReadLowByteFirst)
{
    PanelConfig config;
    config.EepromWord = 0x8000;
    SimPanel panel(config);
    const auto reply = Exchange(panel, ReadRequest(3, 0x2820, 2), kT);
    EXPECT_EQ(ValuesOf(reply), (Bytes{0x06, 0x03, 0x02, 0x28, 0x20, 0x0A, 0x03, 0x80, 0x89, 0x00}));
}

TEST(ServiceProtocol, ConfiguredIdentityIsWhatTheFlashHolds)
{
    PanelConfig config;
    config.Identity = {0x12, 0x34, 0x1A, 0x05, 0x00, 0x04};
    SimPanel panel(config);
    const Bytes packet = testing::Unframe(ValuesOf(Exchange(panel, ReadRequest(1, 0xFED0, 6), kT)));
    ASSERT_EQ(packet.size(), 12u);
    EXPECT_EQ(Bytes(packet.begin() + 5, packet.begin() + 11), (Bytes{0x12, 0x34, 0x1A, 0x05, 0x00, 0x04}));
    EXPECT_EQ(packet[11], Crc8Bytes(packet.data(), 11));
}

TEST(ServiceProtocol, WriteEepromStoresAndAcknowledgesBeforeTheFirstLook)
{
    SimPanel panel;
    const Bytes request = WriteRequest(4, 0x000F, {0xFF});
    ASSERT_EQ(request, (Bytes{0x03, 0x04, 0x01, 0x05, 0x0F, 0x1E, 0xFF, 0xF3, 0x00}));

    const auto reply = Exchange(panel, request, kT);
    // The acknowledgement packet 04 01 00 0F 1E: four bytes and their CRC.
    EXPECT_EQ(ValuesOf(reply), (Bytes{0x03, 0x04, 0x01, 0x03, 0x0F, 0x1E, 0x00}));
    EXPECT_EQ(ArrivedAfter(reply, kT, 0.150), 7u);
    EXPECT_EQ(ArrivedAfter(reply, kT, 0.040), 0u);
    EXPECT_EQ(panel.Memory().Eeprom[15], 0xFF);
}

TEST(ServiceProtocol, TwentyByteChunkLandsAtItsAddress)
{
    SimPanel panel;
    Bytes chunk;
    for (uint8_t i = 0; i < 20; ++i)
        chunk.push_back(static_cast<uint8_t>(0xC0 + i));
    const auto reply = Exchange(panel, WriteRequest(4, 0xF004, chunk), kT);

    const Bytes ack = testing::Unframe(ValuesOf(reply));
    ASSERT_EQ(ack.size(), 5u);
    EXPECT_EQ(ack[4], Crc8Bytes(ack.data(), 4));
    EXPECT_EQ(Bytes(panel.Memory().Eeprom.begin() + 0xF004, panel.Memory().Eeprom.begin() + 0xF018), chunk);
    EXPECT_EQ(panel.Requests().back().Count, 20);
}

TEST(ServiceProtocol, WriteMemoryChangesWhatReadMemorySees)
{
    SimPanel panel;
    Exchange(panel, WriteRequest(2, 0xFED3, {0x21}), kT);
    const Bytes packet = testing::Unframe(ValuesOf(Exchange(panel, ReadRequest(1, 0xFED0, 6), kT + 1)));
    ASSERT_EQ(packet.size(), 12u);
    EXPECT_EQ(packet[8], 0x21);
    EXPECT_EQ(panel.Memory().Identity()[3], 0x21);
}

TEST(ServiceProtocol, DamagedRequestsGetNoAnswerAndChangeNothing)
{
    SimPanel panel;
    const std::vector<uint8_t> before = panel.Memory().Eeprom;

    Bytes bad_header = testing::Header(4, 0x4000, 1);
    bad_header[4] ^= 0x01;
    bad_header.push_back(0x55);
    bad_header.push_back(Crc8Bytes(&bad_header[5], 1));
    EXPECT_TRUE(Exchange(panel, testing::Frame(bad_header), kT).empty());

    Bytes bad_data = testing::Header(4, 0x4000, 1);
    bad_data.push_back(0x55);
    bad_data.push_back(static_cast<uint8_t>(Crc8Bytes(&bad_data[5], 1) ^ 0x01));
    EXPECT_TRUE(Exchange(panel, testing::Frame(bad_data), kT + 1).empty());

    // Count and length disagree; an unknown command.
    Bytes short_write = testing::Header(4, 0x4000, 2);
    short_write.push_back(0x55);
    short_write.push_back(Crc8Bytes(&short_write[5], 1));
    EXPECT_TRUE(Exchange(panel, testing::Frame(short_write), kT + 2).empty());
    EXPECT_TRUE(Exchange(panel, ReadRequest(9, 0x0000, 1), kT + 3).empty());
    // Not a frame at all.
    EXPECT_TRUE(Exchange(panel, {0x07, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x00}, kT + 4).empty());

    EXPECT_EQ(panel.Memory().Eeprom, before);
    EXPECT_TRUE(panel.Requests().empty());
    EXPECT_EQ(panel.Rejected(), 5u);
}

TEST(ServiceProtocol, FindsTheNextFrameAfterGarbageOrABrokenOffOne)
{
    SimPanel panel;
    // Noise ended by a zero is one rejected frame; the request after it counts.
    Bytes noisy = {0x31, 0x32, 0x00};
    const Bytes request = ReadRequest(1, 0xFED0, 6);
    noisy.insert(noisy.end(), request.begin(), request.end());
    EXPECT_EQ(ValuesOf(Exchange(panel, noisy, kT)).size(), 14u);

    // A frame that stops half-way is dropped once the line has been quiet a while.
    Exchange(panel, Bytes(request.begin(), request.begin() + 3), kT + 1);
    EXPECT_EQ(ValuesOf(Exchange(panel, request, kT + 1.5)).size(), 14u);
    EXPECT_EQ(panel.CountOf(RequestKind::ReadMemory), 2u);
}

TEST(ServiceProtocol, ReadsWrapAtTheTopOfTheAddressSpace)
{
    SimPanel panel;
    panel.Memory().Eeprom[0xFFFF] = 0xAB;
    panel.Memory().Eeprom[0x0000] = 0xCD;
    const Bytes packet = testing::Unframe(ValuesOf(Exchange(panel, ReadRequest(3, 0xFFFF, 2), kT)));
    ASSERT_EQ(packet.size(), 8u);
    EXPECT_EQ(packet[5], 0xAB);
    EXPECT_EQ(packet[6], 0xCD);
}

TEST(ServiceProtocol, BackToBackRepliesDoNotOverlapOnTheLine)
{
    SimPanel panel;
    const Bytes request = ReadRequest(1, 0xFED0, 6);
    Bytes both = request;
    both.insert(both.end(), request.begin(), request.end());
    const auto reply = Exchange(panel, both, kT);
    ASSERT_EQ(reply.size(), 28u);
    // The second reply starts on the line only when the first is through.
    EXPECT_GE(reply[14].At - reply[13].At, 14 * 11.0 / 38400 - 1e-12);
}

}  // namespace
}  // namespace varnox
