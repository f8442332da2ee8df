// The in-process link: a serial device on simulated time that leads to the
// simulated panel, used through the real port record and requests.

#include <gtest/gtest.h>

#include "comm/serial_port.h"
#include "panel_test_support.h"
#include "protocol/memory_requests.h"
#include "sim/sim_device.h"

namespace varnox {
namespace {

using testing::Bytes;
using testing::ReadRequest;

// What a read delivered; -1 when it failed.
long ReadSome(SerialDevice& device, uint8_t* destination, std::size_t count)
{
    std::size_t delivered = 0;
    const CommResult read = device.Read(destination, count, delivered);
    return read.ok() ? static_cast<long>(delivered) : -1;
}

class SimLink : public ::testing::Test {
protected:
    std::unique_ptr<SerialDevice> Open()
    {
        std::string reason;
        auto device = opener.OpenPort(1, reason);
        EXPECT_TRUE(device) << reason;
        if (device) {
            EXPECT_TRUE(device->Configure(kPanelLine).ok());
        }
        return device;
    }

    SimPanel panel;
    SimClock clock;
    SimPortOpener opener{panel, clock, 1};
};

TEST_F(SimLink, ReplyBytesAreWaitingOnlyOnceTheyHaveArrived)
{
    auto device = Open();
    const Bytes request = ReadRequest(1, 0xFED0, 6);
    const double written = clock.Now();
    ASSERT_TRUE(device->Write(request.data(), request.size()).ok());
    EXPECT_EQ(device->BytesWaiting(), 0);

    // The wait stops when the frame arrives, all 14 bytes of it at once.
    EXPECT_EQ(device->WaitForInput(0, 1.0), WaitResult::MoreInput);
    EXPECT_EQ(device->BytesWaiting(), 14);
    EXPECT_GT(clock.Now() - written, 0.014);
    EXPECT_LT(clock.Now() - written, 0.030);

    uint8_t got[32] = {};
    EXPECT_EQ(ReadSome(*device, got, 10), 10);
    EXPECT_EQ(device->BytesWaiting(), 4);
    EXPECT_EQ(ReadSome(*device, got, 32), 4);
    EXPECT_EQ(got[3], 0x00) << "the delimiter closes the frame";
}

TEST_F(SimLink, WaitingForNothingStopsExactlyAtTheDeadline)
{
    auto device = Open();
    const double start = clock.Now();
    EXPECT_EQ(device->WaitForInput(0, 0.8), WaitResult::TimedOut);
    EXPECT_DOUBLE_EQ(clock.Now(), start + 0.8);

    // A reply due after the deadline does not pull the clock past it.
    const Bytes request = ReadRequest(1, 0xFED0, 6);
    device->Write(request.data(), request.size());
    const double written = clock.Now();
    EXPECT_EQ(device->WaitForInput(0, 0.001), WaitResult::TimedOut);
    EXPECT_DOUBLE_EQ(clock.Now(), written + 0.001);
}

TEST_F(SimLink, PortIsExclusiveAndOnlyOneNumberLeadsToThePanel)
{
    std::string reason;
    auto first = Open();
    EXPECT_FALSE(opener.OpenPort(1, reason));
    EXPECT_EQ(reason, "COM1: Device or resource busy");
    EXPECT_FALSE(opener.OpenPort(2, reason));
    EXPECT_EQ(reason, "COM2: No such file or directory");

    first->Close();
    EXPECT_FALSE(opener.Held());
    EXPECT_TRUE(opener.OpenPort(1, reason));
    EXPECT_EQ(opener.Opens(), 2);
    EXPECT_EQ(opener.FailedOpens(), 2);
}

TEST_F(SimLink, ScriptedOpenFailuresPassThenTheOpenSucceeds)
{
    opener.FailNextOpens(2, "Permission denied");
    std::string reason;
    EXPECT_FALSE(opener.OpenPort(1, reason));
    EXPECT_EQ(reason, "COM1: Permission denied");
    EXPECT_FALSE(opener.OpenPort(1, reason));
    EXPECT_TRUE(opener.OpenPort(1, reason));
}

TEST_F(SimLink, WhatArrivesWhileThePortIsClosedIsLost)
{
    auto device = Open();
    const Bytes request = ReadRequest(1, 0xFED0, 6);
    device->Write(request.data(), request.size());
    device.reset();
    clock.Advance(0.1);
    device = Open();
    EXPECT_EQ(device->BytesWaiting(), 0);
}

TEST_F(SimLink, PanelHearsNoiseUnlessTheLineIs38400EightEvenOne)
{
    std::string reason;
    auto device = opener.OpenPort(1, reason);
    LineDescription odd = kPanelLine;
    odd.parity = Parity::Odd;
    ASSERT_TRUE(device->Configure(odd).ok());
    const Bytes request = ReadRequest(1, 0xFED0, 6);
    EXPECT_TRUE(device->Write(request.data(), request.size()).ok());
    EXPECT_EQ(device->WaitForInput(0, 0.3), WaitResult::TimedOut);
    EXPECT_EQ(opener.GarbledWrites(), 1);
    EXPECT_TRUE(panel.Requests().empty());

    // The line stays with the port from one open to the next.
    device.reset();
    device = opener.OpenPort(1, reason);
    ASSERT_TRUE(opener.LastLine().has_value());
    EXPECT_EQ(opener.LastLine()->parity, Parity::Odd);
}

TEST_F(SimLink, PulledAdapterFailsEverythingAndThePortVanishes)
{
    PanelConfig config;
    config.Faults.push_back({PanelFaultType::Pull, RequestKind::ReadMemory, 2, 1});
    SimPanel pulled_panel(config);
    SimPortOpener pulled_opener(pulled_panel, clock, 1);
    std::string reason;
    auto device = pulled_opener.OpenPort(1, reason);
    device->Configure(kPanelLine);
    const Bytes request = ReadRequest(1, 0xFED0, 6);

    EXPECT_TRUE(device->Write(request.data(), request.size()).ok());
    const CommResult written = device->Write(request.data(), request.size());
    EXPECT_EQ(written.kind, CommFailure::WriteFailed);
    EXPECT_EQ(written.system, "Input/output error");
    EXPECT_EQ(device->BytesWaiting(), -1);
    uint8_t got[16];
    EXPECT_EQ(ReadSome(*device, got, sizeof got), -1);
    EXPECT_EQ(device->WaitForInput(0, 1.0), WaitResult::Gone);

    device.reset();
    EXPECT_FALSE(pulled_opener.OpenPort(1, reason));
    EXPECT_EQ(reason, "COM1: No such device");
}

TEST_F(SimLink, RealRequestsReadTheIdentityAndWriteTheEeprom)
{
    SerialPort port(1);
    MemoryRequests requests(port, clock);
    ASSERT_TRUE(port.Open(opener).ok());
    ASSERT_TRUE(opener.LastLine().has_value());
    EXPECT_TRUE(IsPanelLine(*opener.LastLine()));

    uint8_t identity[6] = {};
    const LinkResult read = requests.ReadMemory(0xFED0, identity, 6);
    ASSERT_TRUE(read.ok()) << read.text();
    EXPECT_EQ(Bytes(identity, identity + 6), (Bytes{0x00, 0x00, 0x0B, 0x20, 0x00, 0x00}));

    const uint8_t ff = 0xFF;
    const LinkResult written = requests.WriteEeprom(0x000F, &ff, 1);
    ASSERT_TRUE(written.ok()) << written.text();
    EXPECT_EQ(panel.Memory().Eeprom[15], 0xFF);
}

}  // namespace
}  // namespace varnox
