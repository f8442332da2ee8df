// Scripted faults: their text form, and what each of them does on the wire.

#include <gtest/gtest.h>

#include "panel_test_support.h"
#include "sim/panel_fault.h"

namespace varnox {
namespace {

using testing::ArrivedAfter;
using testing::Bytes;
using testing::Exchange;
using testing::FlashPacket;
using testing::kHandshakeFrame;
using testing::MicroKernelPacket;
using testing::ReadRequest;
using testing::Sum8;
using testing::ValuesOf;
using testing::WriteRequest;

constexpr double kT = 10.0;
constexpr double kByte = 11.0 / 38400;

PanelFault Parse(const std::string& text)
{
    std::string error;
    const std::optional<PanelFault> fault = ParsePanelFault(text, error);
    EXPECT_TRUE(fault.has_value()) << error;
    return fault.value_or(PanelFault{});
}

std::string Rejection(const std::string& text)
{
    std::string error;
    EXPECT_FALSE(ParsePanelFault(text, error).has_value()) << text;
    return error;
}

TEST(PanelFaultText, ParsesTypeKindOrdinalAndCount)
{
    const PanelFault fault = Parse("no-answer:write-eeprom:5:3");
    EXPECT_EQ(fault.Type, PanelFaultType::NoAnswer);
    EXPECT_EQ(fault.Kind, RequestKind::WriteEeprom);
    EXPECT_EQ(fault.First, 5u);
    EXPECT_EQ(fault.Count, 3u);
    EXPECT_FALSE(fault.Applies(RequestKind::WriteEeprom, 4));
    EXPECT_TRUE(fault.Applies(RequestKind::WriteEeprom, 7));
    EXPECT_FALSE(fault.Applies(RequestKind::WriteEeprom, 8));
    EXPECT_FALSE(fault.Applies(RequestKind::ReadEeprom, 5));
    EXPECT_EQ(PanelFaultText(fault), "no-answer:write-eeprom:5:3");

    EXPECT_EQ(Parse("late:flash:1").Count, 1u);
    EXPECT_EQ(PanelFaultText(Parse("late:flash:1")), "late:flash:1");
    EXPECT_TRUE(Parse("silent:flash:3").Applies(RequestKind::Flash, 500));
}

TEST(PanelFaultText, RefusesWhatCannotBeMeant)
{
    EXPECT_EQ(Rejection("no-answer:write-eeprom"),
              "fault \"no-answer:write-eeprom\": expected TYPE:KIND:N[:COUNT]");
    EXPECT_EQ(Rejection("mute:flash:1"), "fault \"mute:flash:1\": unknown fault type \"mute\"");
    EXPECT_EQ(Rejection("late:eeprom:1"), "fault \"late:eeprom:1\": unknown request kind \"eeprom\"");
    EXPECT_EQ(Rejection("late:flash:0"), "fault \"late:flash:0\": N must be a whole number from 1 on");
    EXPECT_EQ(Rejection("late:flash:2x"), "fault \"late:flash:2x\": N must be a whole number from 1 on");
    EXPECT_EQ(Rejection("late:flash:1:0"), "fault \"late:flash:1:0\": COUNT must be a whole number from 1 on");
    EXPECT_EQ(Rejection("pull:flash:1:2"), "fault \"pull:flash:1:2\": pull lasts for ever and takes no COUNT");
    // A fault that cannot show on a reply of that kind.
    EXPECT_EQ(Rejection("bad-crc:flash:1"), "fault \"bad-crc:flash:1\": bad-crc does not apply to flash");
    EXPECT_EQ(Rejection("split:microkernel:1"),
              "fault \"split:microkernel:1\": split does not apply to microkernel");
    EXPECT_EQ(Rejection("wrong-ack:read-memory:1"),
              "fault \"wrong-ack:read-memory:1\": wrong-ack does not apply to read-memory");
    EXPECT_EQ(Rejection("no-answer:end:1"), "fault \"no-answer:end:1\": no-answer does not apply to end");
}

TEST(PanelFaultText, FaultsOfTheRestartHangOnTheEndPacketAndMayBeGivenBare)
{
    const PanelFault silent = Parse("silent-after-restart");
    EXPECT_EQ(silent.Type, PanelFaultType::SilentAfterRestart);
    EXPECT_EQ(silent.Kind, RequestKind::End);
    EXPECT_EQ(silent.First, 1u);
    EXPECT_TRUE(silent.Applies(RequestKind::End, 3)) << "silence lasts";
    EXPECT_EQ(PanelFaultText(silent), "silent-after-restart:end:1");

    const PanelFault old = Parse("old-identity:end:2:2");
    EXPECT_TRUE(old.Applies(RequestKind::End, 3));
    EXPECT_FALSE(old.Applies(RequestKind::End, 4));
    EXPECT_EQ(PanelFaultText(Parse("old-identity")), "old-identity:end:1");

    EXPECT_EQ(Rejection("silent-after-restart:end:1:2"),
              "fault \"silent-after-restart:end:1:2\": silent-after-restart lasts for ever and takes no COUNT");
    EXPECT_EQ(Rejection("old-identity:flash:1"),
              "fault \"old-identity:flash:1\": old-identity does not apply to flash");
    EXPECT_EQ(Rejection("silent:end:1"), "fault \"silent:end:1\": silent does not apply to end");
    // Only they may go bare.
    EXPECT_EQ(Rejection("pull-return"), "fault \"pull-return\": expected TYPE:KIND:N[:COUNT]");
    EXPECT_EQ(Rejection("store-wrong:read-eeprom:1"),
              "fault \"store-wrong:read-eeprom:1\": store-wrong does not apply to read-eeprom");
    EXPECT_TRUE(Parse("pull-return:flash:3:2").Applies(RequestKind::Flash, 4));
}

SimPanel PanelWith(const std::string& fault)
{
    PanelConfig config;
    config.Faults.push_back(Parse(fault));
    return SimPanel(config);
}

TEST(ServiceFaults, NoAnswerSpoilsExactlyTheScriptedRequests)
{
    SimPanel panel = PanelWith("no-answer:write-eeprom:2:2");
    const Bytes request = WriteRequest(4, 0x4000, {0x11});
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 4; ++i)
        sizes.push_back(Exchange(panel, request, kT + i).size());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{7, 0, 0, 7}));
    EXPECT_FALSE(panel.Requests()[1].Answered);
    EXPECT_TRUE(panel.Requests()[3].Answered);
    // Reads count apart from writes.
    EXPECT_EQ(Exchange(panel, ReadRequest(3, 0x2820, 2), kT + 5).size(), 10u);
}

TEST(ServiceFaults, BadCrcGivesAWellFormedFrameWithAWrongCheck)
{
    SimPanel panel = PanelWith("bad-crc:read-memory:1");
    const Bytes packet = testing::Unframe(ValuesOf(Exchange(panel, ReadRequest(1, 0xFED0, 6), kT)));
    ASSERT_EQ(packet.size(), 12u);
    EXPECT_NE(packet[11], Crc8Bytes(packet.data(), 11));

    SimPanel writer = PanelWith("bad-crc:write-eeprom:1");
    const Bytes ack = testing::Unframe(ValuesOf(Exchange(writer, WriteRequest(4, 0x000F, {0xFF}), kT)));
    ASSERT_EQ(ack.size(), 5u);
    EXPECT_NE(ack[4], Crc8Bytes(ack.data(), 4));
}

TEST(ServiceFaults, BadCobsGivesAFrameThatCannotBeUnstuffed)
{
    SimPanel panel = PanelWith("bad-cobs:read-eeprom:1");
    const Bytes frame = ValuesOf(Exchange(panel, ReadRequest(3, 0x2820, 2), kT));
    ASSERT_EQ(frame.size(), 10u);
    EXPECT_EQ(frame[0], 0xFF);
    EXPECT_TRUE(testing::Unframe(frame).empty());
}

TEST(ServiceFaults, ExtraByteFollowsTheFrame)
{
    SimPanel panel = PanelWith("extra-byte:write-eeprom:1");
    const Bytes frame = ValuesOf(Exchange(panel, WriteRequest(4, 0x000F, {0xFF}), kT));
    EXPECT_EQ(frame, (Bytes{0x03, 0x04, 0x01, 0x03, 0x0F, 0x1E, 0x00, 0x55}));
}

TEST(ServiceFaults, SplitReadReplyLacksItsLastByteAtTheLook)
{
    SimPanel panel = PanelWith("split:read-memory:1");
    const auto reply = Exchange(panel, ReadRequest(1, 0xFED0, 6), kT);
    ASSERT_EQ(reply.size(), 14u);
    EXPECT_EQ(ArrivedAfter(reply, kT, 0.250), 13u);
    EXPECT_EQ(ArrivedAfter(reply, kT, 0.500), 14u);
}

TEST(ServiceFaults, SplitAcknowledgementIsIncompleteAtAllThreeLooks)
{
    SimPanel panel = PanelWith("split:write-eeprom:1");
    const auto reply = Exchange(panel, WriteRequest(4, 0x000F, {0xFF}), kT);
    EXPECT_EQ(ArrivedAfter(reply, kT, 0.150), 6u);
    EXPECT_EQ(ArrivedAfter(reply, kT, 0.210), 6u);
    EXPECT_EQ(ArrivedAfter(reply, kT, 1.310), 7u);
}

TEST(ServiceFaults, LateReplyArrivesWholeAfterTheLastLook)
{
    SimPanel panel = PanelWith("late:write-eeprom:1");
    const auto reply = Exchange(panel, WriteRequest(4, 0x000F, {0xFF}), kT);
    EXPECT_EQ(ArrivedAfter(reply, kT, 0.210), 0u);
    // Still inside the tool's 1310 ms of waiting, so it is flushed by the next attempt.
    EXPECT_EQ(ArrivedAfter(reply, kT, 1.310), 7u);
    EXPECT_EQ(panel.Memory().Eeprom[15], 0xFF) << "the write itself was carried out";

    SimPanel reader = PanelWith("late:read-eeprom:1");
    const auto read = Exchange(reader, ReadRequest(3, 0x2820, 2), kT);
    EXPECT_EQ(ArrivedAfter(read, kT, 0.250), 0u);
    EXPECT_EQ(read.size(), 10u);
}

TEST(ServiceFaults, ShortAndDoubleReplies)
{
    SimPanel shorter = PanelWith("short-reply:write-eeprom:1");
    EXPECT_EQ(ValuesOf(Exchange(shorter, WriteRequest(4, 0x000F, {0xFF}), kT)),
              (Bytes{0x03, 0x04, 0x01, 0x03, 0x0F, 0x1E}));

    SimPanel doubled = PanelWith("double-ack:read-eeprom:1");
    EXPECT_EQ(Exchange(doubled, ReadRequest(3, 0x2820, 2), kT).size(), 20u);
}

TEST(ServiceFaults, SilentPanelStopsAnsweringAndStoringFromTheScriptedRequestOn)
{
    SimPanel panel = PanelWith("silent:write-eeprom:2");
    EXPECT_EQ(Exchange(panel, WriteRequest(4, 0x4000, {0x11}), kT).size(), 7u);
    EXPECT_TRUE(Exchange(panel, WriteRequest(4, 0x4001, {0x22}), kT + 1).empty());
    EXPECT_TRUE(Exchange(panel, ReadRequest(1, 0xFED0, 6), kT + 2).empty());
    EXPECT_NE(panel.Memory().Eeprom[0x4001], 0x22);
    EXPECT_TRUE(panel.Silent());
    EXPECT_FALSE(panel.Pulled());
    EXPECT_EQ(panel.Requests().size(), 3u) << "a silent panel still hears the line";
}

TEST(ServiceFaults, StoreWrongAcknowledgesAsUsualAndARewriteMendsIt)
{
    SimPanel panel = PanelWith("store-wrong:write-eeprom:2");
    const Bytes chunk = {0x10, 0x20, 0x30, 0x40};
    const Bytes request = WriteRequest(4, 0x4000, chunk);
    const auto eeprom = [&] {
        return Bytes(panel.Memory().Eeprom.begin() + 0x4000, panel.Memory().Eeprom.begin() + 0x4004);
    };

    const Bytes good_ack = ValuesOf(Exchange(panel, request, kT));
    EXPECT_EQ(eeprom(), chunk);
    // The second write: the same acknowledgement, the last byte stored inverted.
    EXPECT_EQ(ValuesOf(Exchange(panel, request, kT + 1)), good_ack);
    EXPECT_EQ(eeprom(), (Bytes{0x10, 0x20, 0x30, 0xBF}));
    EXPECT_TRUE(panel.Requests().back().Answered);
    // A read-back sees it; the third write stores right.
    const Bytes read = testing::Unframe(ValuesOf(Exchange(panel, ReadRequest(3, 0x4000, 4), kT + 2)));
    ASSERT_EQ(read.size(), 10u);
    EXPECT_EQ(read[8], 0xBF);
    Exchange(panel, request, kT + 3);
    EXPECT_EQ(eeprom(), chunk);
}

TEST(ServiceFaults, EarlyAckStoresAfterTheAcknowledgementSoARequestRightBehindItIsLost)
{
    SimPanel panel = PanelWith("early-ack:write-eeprom:1");
    const Bytes request = WriteRequest(4, 0x4000, {0x10, 0x20});
    const double end = kT + static_cast<double>(request.size()) * kByte;
    const auto ack = Exchange(panel, request, kT);
    ASSERT_EQ(ack.size(), 7u);
    // At the write delay, not after the store; the store runs for the write time after it.
    EXPECT_NEAR(ack.back().At, end + 0.050 + 7 * kByte, 1e-9);
    EXPECT_TRUE(Exchange(panel, ReadRequest(1, 0xFED0, 6), ack.back().At).empty());
    EXPECT_EQ(panel.IgnoredWhileWriting(), 1u);
    EXPECT_EQ(Exchange(panel, ReadRequest(1, 0xFED0, 6), end + 0.056).size(), 14u);
    EXPECT_EQ(panel.Memory().Eeprom[0x4001], 0x20);
}

TEST(ServiceFaults, PullReturnLosesTheRequestAndItsRepliesThenThePanelCarriesOn)
{
    SimPanel panel = PanelWith("pull-return:handshake:2");
    panel.Receive(kHandshakeFrame, kT);
    // The second handshake goes with the adapter, and so does the first reply.
    panel.Receive(kHandshakeFrame, kT + 0.003);
    EXPECT_TRUE(panel.Pending().empty());
    EXPECT_EQ(panel.Dropouts(), 1u);
    const double back = panel.AdapterBackAt();
    EXPECT_NEAR(back, kT + 0.003 + 7 * 11.0 / 38400 + 2.0, 1e-9);
    EXPECT_FALSE(panel.Silent());
    EXPECT_FALSE(panel.Pulled());

    // Nothing reaches it while the adapter is away.
    const Bytes packet = MicroKernelPacket(0x0400, 0x07);
    EXPECT_TRUE(Exchange(panel, packet, back - 0.1).empty());
    EXPECT_EQ(panel.CountOf(RequestKind::MicroKernel), 0u);
    // Back, it is still in its loader.
    EXPECT_EQ(ValuesOf(Exchange(panel, packet, back + 0.1)), Bytes{Sum8(packet)});
    EXPECT_EQ(panel.Requests().size(), 3u);
}

class LoaderFaults : public ::testing::Test {
protected:
    void Start(const std::string& fault)
    {
        PanelConfig config;
        config.Faults.push_back(Parse(fault));
        panel = std::make_unique<SimPanel>(config);
    }
    void ToFlashing()
    {
        Exchange(*panel, kHandshakeFrame, now);
        Exchange(*panel, Bytes(66, 0x00), now + 0.3);
        now += 0.3 + panel->Config().Timing.EraseTime + 0.1;
    }

    std::unique_ptr<SimPanel> panel;
    double now = kT;
};

TEST_F(LoaderFaults, WrongHandshakeByte)
{
    Start("wrong-ack:handshake:2");
    EXPECT_EQ(ValuesOf(Exchange(*panel, kHandshakeFrame, now))[1], 0xB7);
    const Bytes second = ValuesOf(Exchange(*panel, kHandshakeFrame, now + 0.3));
    ASSERT_EQ(second.size(), 7u);
    EXPECT_EQ(second[1], 0x48);
}

TEST_F(LoaderFaults, LateHandshakeComesAfterTheToolsPollingEnds)
{
    Start("late:handshake:1");
    const auto reply = Exchange(*panel, kHandshakeFrame, now);
    EXPECT_EQ(ArrivedAfter(reply, now, 0.250), 0u);
    EXPECT_EQ(reply.size(), 7u);
}

TEST_F(LoaderFaults, WrongAndDoubledMicroKernelAcknowledgements)
{
    Start("wrong-ack:microkernel:1");
    Exchange(*panel, kHandshakeFrame, now);
    const Bytes packet = MicroKernelPacket(0x0400, 0x07);
    EXPECT_EQ(ValuesOf(Exchange(*panel, packet, now + 0.3)), Bytes{static_cast<uint8_t>(Sum8(packet) + 1)});
    EXPECT_EQ(ValuesOf(Exchange(*panel, packet, now + 0.6)), Bytes{Sum8(packet)});

    Start("double-ack:microkernel:1");
    Exchange(*panel, kHandshakeFrame, now);
    EXPECT_EQ(ValuesOf(Exchange(*panel, packet, now + 0.3)), (Bytes{Sum8(packet), Sum8(packet)}));
}

TEST_F(LoaderFaults, NoAnswerToTheClosingPacketStillErases)
{
    Start("no-answer:closing:1");
    Exchange(*panel, kHandshakeFrame, now);
    EXPECT_TRUE(Exchange(*panel, Bytes(66, 0x00), now + 0.3).empty());
    EXPECT_EQ(panel->Mode(now + 0.5), PanelMode::Erasing);
}

TEST_F(LoaderFaults, WrongFlashSum)
{
    Start("wrong-ack:flash:1");
    ToFlashing();
    const Bytes packet = FlashPacket(0x2400, 0x5A);
    const Bytes reply = ValuesOf(Exchange(*panel, packet, now));
    ASSERT_EQ(reply.size(), 4u);
    EXPECT_EQ(reply[3], static_cast<uint8_t>(Sum8(packet) + 1));
}

TEST_F(LoaderFaults, ShortFlashReplyHasThreeBytes)
{
    Start("short-reply:flash:2");
    ToFlashing();
    const Bytes packet = FlashPacket(0x2400, 0x5A);
    EXPECT_EQ(Exchange(*panel, packet, now).size(), 4u);
    EXPECT_EQ(ValuesOf(Exchange(*panel, packet, now + 1)), (Bytes{0x00, 0x24, 0x00}));
}

TEST_F(LoaderFaults, LateFlashReplyMissesTheToolsWindow)
{
    Start("late:flash:1");
    ToFlashing();
    const auto reply = Exchange(*panel, FlashPacket(0x2400, 0x5A), now);
    EXPECT_EQ(ArrivedAfter(reply, now, 0.8), 0u);
    EXPECT_EQ(reply.size(), 4u);
}

TEST_F(LoaderFaults, PulledAdapterFromTheScriptedFlashPacketOn)
{
    Start("pull:flash:3");
    ToFlashing();
    EXPECT_EQ(Exchange(*panel, FlashPacket(0x2400, 1), now).size(), 4u);
    EXPECT_EQ(Exchange(*panel, FlashPacket(0x2480, 2), now + 1).size(), 4u);
    EXPECT_TRUE(Exchange(*panel, FlashPacket(0x2500, 3), now + 2).empty());
    EXPECT_TRUE(panel->Pulled());
    // Nothing reaches it any more: no restart on the end packet.
    Exchange(*panel, Bytes(132, 0x00), now + 3);
    EXPECT_FALSE(panel->RestartDoneAt().has_value());
    EXPECT_EQ(panel->CountOf(RequestKind::Flash), 3u);
}

}  // namespace
}  // namespace varnox
