// The loader's packets byte for byte, and the sums their acknowledgements carry.

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "protocol/loader_packets.h"

namespace varnox {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const LoaderPacket& packet)
{
    return Bytes(packet.Bytes.begin(), packet.Bytes.begin() + packet.Length);
}

Bytes Counting(std::size_t count, uint8_t first)
{
    Bytes data(count);
    std::iota(data.begin(), data.end(), first);
    return data;
}

TEST(LoaderPackets, HandshakeFrameIsTheFramedCommandWithItsCrc)
{
    const TPacketBuffer frame = HandshakeFrame();
    EXPECT_EQ(Bytes(frame.Bytes, frame.Bytes + frame.Length), (Bytes{0x06, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00}));
}

TEST(LoaderPackets, SumWrapsModulo256)
{
    const Bytes bytes = {0xFF, 0x02, 0x80, 0x80};
    EXPECT_EQ(Sum8(bytes.data(), bytes.size()), 0x01);
    EXPECT_EQ(Sum8(bytes.data(), 0), 0x00);
}

TEST(LoaderPackets, MicroKernelAndClosingPackets)
{
    const Bytes data = Counting(kKernelDataLength, 0xC0);
    const LoaderPacket packet = MicroKernelPacket(0x05C0, data.data());
    Bytes expected = {0x05, 0xC0};
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(BytesOf(packet), expected);
    EXPECT_EQ(packet.ExpectedSum, Sum8(expected.data(), expected.size()));

    // The closing packet is the data again at address 0, acknowledged by the data's sum alone.
    const LoaderPacket closing = ClosingPacket(data.data());
    expected[0] = expected[1] = 0;
    EXPECT_EQ(BytesOf(closing), expected);
    EXPECT_EQ(closing.ExpectedSum, Sum8(data.data(), data.size()));
    EXPECT_NE(closing.ExpectedSum, packet.ExpectedSum);
}

TEST(LoaderPackets, FlashAndEndPackets)
{
    const Bytes data = Counting(kFlashDataLength, 0x10);
    const LoaderPacket packet = FlashPacket(0x012380, data.data());
    Bytes expected = {0x00, 0x01, 0x23, 0x80};
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(BytesOf(packet), expected);
    EXPECT_EQ(packet.ExpectedSum, Sum8(expected.data(), expected.size()));

    EXPECT_EQ(BytesOf(EndPacket()), Bytes(kFlashPacketLength, 0x00));
}

}  // namespace
}  // namespace varnox
