// The port record against a fake device: the closed port, opening and its
// failures, the error texts, reads, discarding input and time stamps.

#include <gtest/gtest.h>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "core/time_stamp.h"
#include "tests/comm/fake_device.h"

namespace varnox {
namespace {

using testing::FakeLine;
using testing::FakeOpener;

class SerialPortTest : public ::testing::Test {
protected:
    FakeLine line;
    FakeOpener opener{line};
    SerialPort port{3};
    SimClock clock;

    void OpenPort()
    {
        const CommResult opened = port.Open(opener);
        ASSERT_TRUE(opened.ok()) << opened.system;
    }
};

TEST_F(SerialPortTest, ClosedPortReadsNothingAndWritesNothing)
{
    uint8_t destination[4] = {1, 2, 3, 4};
    EXPECT_EQ(port.BytesWaiting(), 0);
    const Received got = port.Receive(destination, 4);
    EXPECT_EQ(got.count, 0u);
    EXPECT_TRUE(got.result.ok());
    EXPECT_EQ(destination[0], 1);
    EXPECT_EQ(destination[3], 4);

    const uint8_t frame[3] = {0x06, 0x01, 0x00};
    const CommResult sent = port.Send(frame, 3);
    EXPECT_EQ(sent.kind, CommFailure::NotOpen);
    EXPECT_EQ(sent.line_errors, 0u);
    EXPECT_TRUE(line.written.empty());

    port.DiscardInput(clock);
    EXPECT_EQ(line.reads, 0);
}

TEST_F(SerialPortTest, CloseTwiceClosesOnce)
{
    OpenPort();
    EXPECT_TRUE(port.Close().ok());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.Close().ok());
    EXPECT_EQ(line.closes, 1);
}

TEST_F(SerialPortTest, RefusedCloseKeepsThePortOpen)
{
    OpenPort();
    line.refuse_close = true;
    const CommResult refused = port.Close();
    EXPECT_EQ(refused.kind, CommFailure::CloseRefused);
    EXPECT_EQ(refused.text, "can't close the comm !!");
    EXPECT_EQ(refused.system, "fake: close refused");
    EXPECT_TRUE(port.IsOpen());
    line.refuse_close = false;
    EXPECT_TRUE(port.Close().ok());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(line.open_now, 0);
}

TEST_F(SerialPortTest, OpenSetsThePanelLine)
{
    OpenPort();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(line.last_line, kPanelLine);
    EXPECT_EQ(kPanelLine.bits_per_second, 38400u);
    EXPECT_EQ(kPanelLine.data_bits, 8);
    EXPECT_EQ(kPanelLine.parity, Parity::Even);
    EXPECT_EQ(kPanelLine.stop_bits, StopBits::One);
    EXPECT_FALSE(kPanelLine.dtr);
    EXPECT_FALSE(kPanelLine.rts);
}

TEST_F(SerialPortTest, OpeningAgainReleasesTheHeldDeviceFirst)
{
    OpenPort();
    OpenPort();
    EXPECT_EQ(line.opens, 2);
    EXPECT_EQ(line.closes, 1);
    EXPECT_EQ(line.open_now, 1);
}

TEST_F(SerialPortTest, MissingPortFailsWithTheSystemsReason)
{
    opener.missing = 4;
    port.Number = 4;
    const CommResult opened = port.Open(opener);
    EXPECT_EQ(opened.kind, CommFailure::OpenRefused);
    EXPECT_EQ(opened.text, "Device identifier is invalid or unsupported");
    EXPECT_EQ(opened.system, "fake:COM4: no such device");
    EXPECT_FALSE(port.IsOpen());
}

// A device that opened but could not be configured would otherwise keep
// holding the port against every later attempt.
TEST_F(SerialPortTest, RefusedLineClosesTheDevice)
{
    for (bool get_fails : {true, false}) {
        SCOPED_TRACE(get_fails ? "reading the settings fails" : "writing the settings fails");
        line.fail_get_settings = get_fails;
        line.fail_set_settings = !get_fails;
        const CommResult opened = port.Open(opener);
        EXPECT_EQ(opened.kind, CommFailure::LineRefused);
        EXPECT_TRUE(opened.text.empty());
        EXPECT_NE(opened.system.find("fake: "), std::string::npos);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(line.open_now, 0);
    }
}

TEST(LineErrorKindTest, NamesTheMostTellingFlag)
{
    const struct {
        uint32_t flags;
        const char* kind;
    } rows[] = {
        {kRxFraming | kRxParity | kRxOverrun, "framing"},
        {kRxParity | kRxOverrun, "parity"},
        {kRxOverrun, "overrun"},
        {kRxQueueOverflow, "overrun"},
        {kBreak, "break"},
        {0x0100, ""},
        {0, ""},
    };
    for (const auto& row : rows)
        EXPECT_STREQ(LineErrorKind(row.flags), row.kind) << "flags " << row.flags;
}

TEST_F(SerialPortTest, FailedTransfersCarryTheLineErrorAndTheSystemsWords)
{
    OpenPort();
    line.fail_writes = true;
    line.error_flags = 0x0008;
    const uint8_t byte = 0x55;
    const CommResult sent = port.Send(&byte, 1);
    EXPECT_EQ(sent.kind, CommFailure::WriteFailed);
    EXPECT_EQ(sent.line_errors, kRxFraming);
    EXPECT_EQ(sent.system, "fake: write timed out");
    EXPECT_EQ(line.error_flags, 0u);  // taken, as the port clears them

    line.fail_reads = true;
    line.input = {1, 2, 3};
    line.error_flags = 0x0002;
    uint8_t destination[3] = {};
    const Received got = port.Receive(destination, 3);
    EXPECT_EQ(got.count, 0u);
    EXPECT_EQ(got.result.kind, CommFailure::ReadFailed);
    EXPECT_EQ(got.result.line_errors, kRxOverrun);
}

TEST_F(SerialPortTest, ReceiveReturnsWhatWasDelivered)
{
    OpenPort();
    line.input = {0xA1, 0xA2, 0xA3, 0xA4};
    EXPECT_EQ(port.BytesWaiting(), 4);
    uint8_t destination[10] = {};
    EXPECT_EQ(port.Receive(destination, 10).count, 4u);
    EXPECT_EQ(destination[3], 0xA4);
    EXPECT_EQ(destination[4], 0);
    EXPECT_EQ(port.BytesWaiting(), 0);
}

TEST_F(SerialPortTest, DiscardEndsOnAnEndlessLine)
{
    OpenPort();
    line.endless_input = true;
    line.input.assign(100, 0x55);
    port.DiscardInput(clock);  // the simulated clock stands still: the byte bound must end it
    EXPECT_GE(line.reads, 64 * 1024 / 100);
    EXPECT_LE(line.reads, 64 * 1024 / 100 + 1);
}

TEST_F(SerialPortTest, DiscardStopsWhenReadsFail)
{
    OpenPort();
    line.input = {1, 2, 3};
    line.fail_reads = true;
    port.DiscardInput(clock);
    EXPECT_EQ(line.reads, 1);
}

TEST_F(SerialPortTest, WaitOnAClosedPortTakesItsTimeOnTheClock)
{
    const double start = clock.Now();
    EXPECT_EQ(port.WaitForInput(clock, 0, 0.2), WaitResult::TimedOut);
    EXPECT_NEAR(clock.Now() - start, 0.2, 1e-9);
}

TEST(TimeStampTest, SecondsSinceToTheMillisecond)
{
    SimClock clock;
    const double stamp = TimeStamp(clock);
    clock.Advance(0.25);
    EXPECT_NEAR(SecondsSince(clock, stamp), 0.25, 1e-9);
    clock.Advance(0.0004);
    EXPECT_NEAR(SecondsSince(clock, stamp), 0.25, 1e-9);
    clock.Advance(0.0002);
    EXPECT_NEAR(SecondsSince(clock, stamp), 0.251, 1e-9);
}

}  // namespace
}  // namespace varnox
