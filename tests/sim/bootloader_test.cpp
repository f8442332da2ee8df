// The simulated panel's loader: handshake, microKernel, closing packet, erase,
// flash packets, end packet and the restart into the new firmware.

#include <gtest/gtest.h>

#include "panel_test_support.h"

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

constexpr double kT = 10.0;

class Loader : public ::testing::Test {
protected:
    // Handshake and one microKernel packet: the panel awaits more of it.
    void EnterLoader()
    {
        Exchange(panel, kHandshakeFrame, now);
        now += 0.3;
    }
    // The closing packet, then waiting out the erase.
    void LoadAndErase()
    {
        EnterLoader();
        Exchange(panel, MicroKernelPacket(0x0400, 0x10), now);
        now += 0.3;
        Exchange(panel, Bytes(66, 0x00), now);
        now += panel.Config().Timing.EraseTime + 0.1;
    }
    void WriteAndRestart()
    {
        LoadAndErase();
        Exchange(panel, Bytes(132, 0x00), now);
        now += panel.Config().Timing.RestartTime + 0.1;
    }

    SimPanel panel;
    double now = kT;
};

TEST_F(Loader, HandshakeIsAnsweredWithTheComplementInByteOneAndSwitchesToTheLoader)
{
    const auto reply = Exchange(panel, kHandshakeFrame, now);
    EXPECT_EQ(ValuesOf(reply), (Bytes{0x06, 0xB7, 0x01, 0x01, 0x01, 0x83, 0x00}));
    // At least six bytes within the tool's 50 ms pause and 0.2 s of polling.
    EXPECT_EQ(ArrivedAfter(reply, now, 0.05), 7u);
    EXPECT_EQ(panel.Mode(now + 0.1), PanelMode::Loader);

    // The tool sends four; the loader answers each of them.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ValuesOf(Exchange(panel, kHandshakeFrame, now + 0.3 * (i + 1)))[1], 0xB7);
    EXPECT_EQ(panel.CountOf(RequestKind::Handshake), 4u);
}

TEST_F(Loader, ServiceRequestsAreNotAnsweredInTheLoader)
{
    EnterLoader();
    EXPECT_TRUE(Exchange(panel, ReadRequest(1, 0xFED0, 6), now).empty());
    EXPECT_EQ(panel.CountOf(RequestKind::ReadMemory), 0u);
}

TEST_F(Loader, EveryMicroKernelPacketIsAcknowledgedByItsSum)
{
    EnterLoader();
    for (uint16_t address = 0x0400; address <= 0x09C0; address += 0x40) {
        const Bytes packet = MicroKernelPacket(address, static_cast<uint8_t>(address >> 4));
        const auto reply = Exchange(panel, packet, now);
        ASSERT_EQ(ValuesOf(reply), Bytes{Sum8(packet)}) << std::hex << address;
        EXPECT_EQ(ArrivedAfter(reply, now, 0.2), 1u);
        EXPECT_EQ(panel.Memory().Ram[address + 63], packet[65]);
        now += 0.1;
    }
    EXPECT_EQ(panel.CountOf(RequestKind::MicroKernel), 24u);
    // Once the microKernel has begun, seven bytes are only part of a packet.
    EXPECT_TRUE(Exchange(panel, kHandshakeFrame, now).empty());
}

TEST_F(Loader, ClosingPacketIsAcknowledgedByTheSumOfItsDataThenTheFlashIsErased)
{
    EnterLoader();
    Exchange(panel, MicroKernelPacket(0x09C0, 0x01), now);
    now += 0.1;

    Bytes closing = MicroKernelPacket(0x0000, 0x80);
    const Bytes data(closing.begin() + 2, closing.end());
    const auto reply = Exchange(panel, closing, now);
    EXPECT_EQ(ValuesOf(reply), Bytes{Sum8(data)});

    EXPECT_EQ(panel.Mode(now + 0.5), PanelMode::Erasing);
    EXPECT_TRUE(Exchange(panel, closing, now + 0.5).empty()) << "input is ignored while erasing";
    EXPECT_TRUE(Exchange(panel, testing::FlashPacket(0x4000, 0), now + 0.6).empty());
    EXPECT_EQ(panel.Memory().Flash[0x2400], 0xFF);
    EXPECT_EQ(panel.Memory().Flash[0x13FFF], 0xFF);
    EXPECT_NE(panel.Memory().Flash[0x23FF], 0xFF) << "the loader's own area stays";
    // Well within the tool's 8 s.
    EXPECT_EQ(panel.Mode(now + 2.0), PanelMode::Flashing);
    EXPECT_EQ(panel.CountOf(RequestKind::Closing), 1u);
}

TEST_F(Loader, AllZeroClosingPacketIsAcknowledgedWithZero)
{
    EnterLoader();
    EXPECT_EQ(ValuesOf(Exchange(panel, Bytes(66, 0x00), now)), Bytes{0x00});
}

TEST_F(Loader, FlashPacketIsStoredAndAnsweredWithItsSumInByteThree)
{
    LoadAndErase();
    const Bytes packet = FlashPacket(0x13F80, 0x3C);
    const auto reply = Exchange(panel, packet, now);
    ASSERT_EQ(reply.size(), 4u);
    EXPECT_EQ(reply[3].Value, Sum8(packet));
    EXPECT_EQ(ArrivedAfter(reply, now, 0.8), 4u);
    EXPECT_EQ(Bytes(panel.Memory().Flash.begin() + 0x13F80, panel.Memory().Flash.begin() + 0x14000),
              Bytes(packet.begin() + 4, packet.end()));

    // The tool sends the same packet again after a failed attempt.
    EXPECT_EQ(ValuesOf(Exchange(panel, packet, now + 1)), ValuesOf(reply));
    EXPECT_EQ(panel.CountOf(RequestKind::Flash), 2u);
    EXPECT_EQ(panel.Requests().back().Address, 0x13F80u);
}

TEST_F(Loader, FlashPacketOutsideTheFlashIsIgnored)
{
    LoadAndErase();
    EXPECT_TRUE(Exchange(panel, FlashPacket(0x1FF81, 0x00), now).empty());
    Bytes not_flash = FlashPacket(0x4000, 0x00);
    not_flash[0] = 0x01;
    EXPECT_TRUE(Exchange(panel, not_flash, now + 1).empty());
    EXPECT_EQ(panel.CountOf(RequestKind::Flash), 0u);
}

TEST_F(Loader, EndPacketIsNotAnsweredAndThePanelRestartsWithTheNewIdentity)
{
    LoadAndErase();
    Bytes block = FlashPacket(0xFE80, 0x00);
    for (int i = 0; i < 128; ++i)
        block[4 + i] = 0;
    const Bytes identity = {0x00, 0x00, 0x1B, 0x20, 0x01, 0x00};
    std::copy(identity.begin(), identity.end(), block.begin() + 4 + 0x50);
    Exchange(panel, block, now);

    now += 1;
    EXPECT_TRUE(Exchange(panel, Bytes(132, 0x00), now).empty());
    EXPECT_EQ(panel.CountOf(RequestKind::End), 1u);
    ASSERT_TRUE(panel.RestartDoneAt().has_value());
    EXPECT_LT(*panel.RestartDoneAt() - now, 8.0);

    // While it restarts it hears nothing; afterwards it is itself again.
    EXPECT_TRUE(Exchange(panel, ReadRequest(1, 0xFED0, 6), now + 0.5).empty());
    const Bytes packet = testing::Unframe(ValuesOf(Exchange(panel, ReadRequest(1, 0xFED0, 6), now + 3)));
    ASSERT_EQ(packet.size(), 12u);
    EXPECT_EQ(Bytes(packet.begin() + 5, packet.begin() + 11), identity);
    EXPECT_EQ(panel.Mode(now + 3), PanelMode::Service);
}

TEST_F(Loader, AfterTheRestartAnotherUpdateCanBegin)
{
    WriteAndRestart();
    EXPECT_EQ(ValuesOf(Exchange(panel, kHandshakeFrame, now))[1], 0xB7);
    EXPECT_EQ(ValuesOf(Exchange(panel, MicroKernelPacket(0x0400, 0x22), now + 0.3)).size(), 1u);
}

TEST_F(Loader, PowerCycleLeavesTheLoaderWithWhateverTheFlashHolds)
{
    LoadAndErase();
    panel.PowerCycle(now);
    now += panel.Config().Timing.RestartTime + 0.1;
    const Bytes packet = testing::Unframe(ValuesOf(Exchange(panel, ReadRequest(1, 0xFED0, 6), now)));
    ASSERT_EQ(packet.size(), 12u);
    EXPECT_EQ(packet[8], 0xFF) << "an erased panel reports release 255";
}

}  // namespace
}  // namespace varnox
