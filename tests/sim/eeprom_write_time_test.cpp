// The EEPROM write time: a WriteEeprom chunk is stored just before it is
// acknowledged, and a request with a byte arriving during the store is ignored
// whole, so a tool that sends its next request once the acknowledgement is in
// never loses one.

#include <gtest/gtest.h>

#include "panel_test_support.h"

namespace varnox {
namespace {

using testing::Bytes;
using testing::Exchange;
using testing::ReadRequest;
using testing::ValuesOf;
using testing::WriteRequest;

constexpr double kT = 10.0;
constexpr double kByte = 11.0 / 38400;

const Bytes kChunk = {0xC0, 0xC1, 0xC2, 0xC3};

class EepromWriteTime : public ::testing::Test {
protected:
    // Sends a chunk at kT; returns when its last byte reached the panel.
    double WriteChunk()
    {
        const Bytes request = WriteRequest(4, 0x4000, kChunk);
        const auto ack = Exchange(panel, request, kT);
        EXPECT_EQ(ack.size(), 7u);
        return kT + static_cast<double>(request.size()) * kByte;
    }
    // Sends `request` so that its last byte arrives at `end`; returns the reply.
    Bytes ArrivingAt(const Bytes& request, double end)
    {
        return ValuesOf(Exchange(panel, request, end - static_cast<double>(request.size()) * kByte));
    }

    SimPanel panel;
};

TEST_F(EepromWriteTime, RequestTouchingTheStoreIsIgnoredWhole)
{
    const double end = WriteChunk();
    const Bytes read = ReadRequest(1, 0xFED0, 6);
    const Bytes write = WriteRequest(4, 0x5000, kChunk);
    // The store runs from 45 to 50 ms after the request: ending in it, or
    // starting in it and ending after it, a request is lost whole.
    EXPECT_TRUE(ArrivingAt(read, end + 0.046).empty());
    EXPECT_TRUE(ArrivingAt(write, end + 0.0495 + static_cast<double>(write.size()) * kByte).empty());
    EXPECT_EQ(panel.IgnoredWhileWriting(), 2u);
    EXPECT_EQ(panel.Requests().size(), 1u) << "the panel never heard them";
    EXPECT_NE(panel.Memory().Eeprom[0x5000], kChunk[0]);
    // The tool's retry lands.
    EXPECT_EQ(ArrivingAt(write, end + 0.200).size(), 7u);
    EXPECT_EQ(panel.Memory().Eeprom[0x5003], kChunk[3]);
    EXPECT_EQ(panel.Rejected(), 0u);
}

TEST_F(EepromWriteTime, RequestsBeforeTheStoreAndOnceTheAcknowledgementIsInAreTaken)
{
    const double end = WriteChunk();
    const Bytes read = ReadRequest(1, 0xFED0, 6);
    EXPECT_EQ(ArrivingAt(read, end + 0.044).size(), 14u);
    // The tool's fast mode: the next request right after the acknowledgement.
    EXPECT_EQ(ValuesOf(Exchange(panel, read, end + 0.050 + 7 * kByte)).size(), 14u);
    EXPECT_EQ(panel.IgnoredWhileWriting(), 0u);
}

TEST(EepromWriteTimeConfig, StoreLongerThanTheWriteDelayHoldsTheAcknowledgementBack)
{
    PanelConfig config;
    config.Timing.WriteDelay = 0.001;
    config.Timing.EepromWriteTime = 0.030;
    SimPanel panel(config);
    const Bytes request = WriteRequest(4, 0x4000, kChunk);
    const double end = kT + static_cast<double>(request.size()) * kByte;
    const auto ack = Exchange(panel, request, kT);
    ASSERT_EQ(ack.size(), 7u);
    EXPECT_NEAR(ack.back().At, end + 0.030 + 7 * kByte, 1e-9);

    // Right after the request the store has begun; the next request is lost.
    EXPECT_TRUE(Exchange(panel, ReadRequest(1, 0xFED0, 6), end + 0.001).empty());
    // WriteMemory reaches the flash, not the EEPROM: no store time.
    const Bytes memory_write = WriteRequest(2, 0x3000, kChunk);
    const double memory_end = kT + 1 + static_cast<double>(memory_write.size()) * kByte;
    const auto memory_ack = Exchange(panel, memory_write, kT + 1);
    ASSERT_EQ(memory_ack.size(), 7u);
    EXPECT_NEAR(memory_ack.back().At, memory_end + 0.001 + 7 * kByte, 1e-9);
    EXPECT_EQ(Exchange(panel, ReadRequest(1, 0xFED0, 6), memory_end + 0.001).size(), 14u);
}

}  // namespace
}  // namespace varnox
