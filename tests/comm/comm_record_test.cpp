// The record operations against a fake device: the closed record, opening
// and its failures, the error texts, reads, flushing and time stamps.

#include <gtest/gtest.h>

#include "comm/comm.h"
#include "core/clock.h"
#include "tests/comm/fake_device.h"

namespace varnox {
namespace {

using testing::FakeLine;
using testing::FakeOpener;

class RecordTest : public ::testing::Test {
protected:
    FakeLine line;
    FakeOpener opener{line};
    TComm comm;
    SimClock clock;

    void OpenPanelPort(int port = 3)
    {
        InitPanelLineSettings(comm, port);
        ASSERT_TRUE(OpenComm(comm, opener));
    }
};

TEST_F(RecordTest, ClosedRecordReadsNothingAndWritesNothing)
{
    uint8_t destination[4] = {1, 2, 3, 4};
    EXPECT_EQ(BytesWaiting(comm), 0);
    EXPECT_EQ(ReadComm(comm, destination, 4), 0);
    EXPECT_EQ(destination[0], 1);
    EXPECT_EQ(destination[3], 4);
    EXPECT_TRUE(comm.ErrorText.empty());

    const uint8_t frame[3] = {0x06, 0x01, 0x00};
    WriteComm(comm, frame, 3);
    EXPECT_EQ(comm.ErrorText, "General error 0");
    EXPECT_TRUE(line.written.empty());

    FlushInput(comm, clock);
    EXPECT_EQ(line.reads, 0);
}

TEST_F(RecordTest, CloseTwiceClosesOnce)
{
    OpenPanelPort();
    CloseComm(comm);
    EXPECT_EQ(comm.Handle, -1);
    CloseComm(comm);
    EXPECT_EQ(comm.Handle, -1);
    EXPECT_EQ(line.closes, 1);
    EXPECT_TRUE(comm.ErrorText.empty());
}

TEST_F(RecordTest, RefusedCloseKeepsTheRecordOpen)
{
    OpenPanelPort();
    line.refuse_close = true;
    CloseComm(comm);
    EXPECT_EQ(comm.ErrorText, "can't close the comm !!");
    EXPECT_GE(comm.Handle, 0);
    line.refuse_close = false;
    CloseComm(comm);
    EXPECT_EQ(comm.Handle, -1);
    EXPECT_EQ(line.open_now, 0);
}

TEST_F(RecordTest, OpenAppliesThePanelSettingsAndEmptiesTheErrorText)
{
    InitPanelLineSettings(comm, 3);
    comm.ErrorText = "left from before";
    ASSERT_TRUE(OpenComm(comm, opener));
    EXPECT_EQ(comm.Handle, 7);
    EXPECT_TRUE(comm.ErrorText.empty());
    EXPECT_EQ(cfgetospeed(&line.last_set), B38400);
    EXPECT_EQ(line.last_set.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), tcflag_t(CS8 | PARENB));
}

TEST_F(RecordTest, OpeningAgainReleasesTheHeldDeviceFirst)
{
    OpenPanelPort();
    ASSERT_TRUE(OpenComm(comm, opener));
    EXPECT_EQ(line.opens, 2);
    EXPECT_EQ(line.closes, 1);
    EXPECT_EQ(line.open_now, 1);
}

TEST_F(RecordTest, MissingPortFailsWithTheDocumentedText)
{
    opener.missing = 4;
    InitPanelLineSettings(comm, 4);
    EXPECT_FALSE(OpenComm(comm, opener));
    EXPECT_EQ(comm.Handle, -1);
    EXPECT_EQ(comm.ErrorText, "Device identifier is invalid or unsupported");
    EXPECT_EQ(comm.OpenFailureReason, "fake:COM4: no such device");
    EXPECT_EQ(OpenErrorText(-1), "Device identifier is invalid or unsupported");
}

// A device that opened but could not be configured would otherwise keep
// holding the port against every later attempt.
TEST_F(RecordTest, SettingsFailureClosesTheDevice)
{
    for (bool get_fails : {true, false}) {
        SCOPED_TRACE(get_fails ? "reading the settings fails" : "writing the settings fails");
        line.fail_get_settings = get_fails;
        line.fail_set_settings = !get_fails;
        InitPanelLineSettings(comm, 3);
        EXPECT_FALSE(OpenComm(comm, opener));
        EXPECT_EQ(comm.Handle, -1);
        EXPECT_EQ(comm.Device, nullptr);
        EXPECT_EQ(line.open_now, 0);
        EXPECT_TRUE(comm.ErrorText.empty());
        EXPECT_NE(comm.OpenFailureReason.find("fake: "), std::string::npos);
    }
}

TEST_F(RecordTest, InitPanelLineSettingsFillsTheFixedValuesAndReleasesTheDevice)
{
    OpenPanelPort(5);
    comm.ErrorText = "x";
    InitPanelLineSettings(comm, 2);
    EXPECT_EQ(line.open_now, 0);
    EXPECT_EQ(comm.Handle, -1);
    EXPECT_EQ(comm.Port, 2);
    EXPECT_EQ(comm.BaudIndex, 9);
    EXPECT_EQ(comm.ParityIndex, 2);
    EXPECT_EQ(comm.ByteSizeIndex, 4);
    EXPECT_EQ(comm.StopBitsIndex, 0);
    EXPECT_EQ(comm.FlowIndex, 0);
    EXPECT_EQ(comm.InQueueSize, 2048);
    EXPECT_EQ(comm.OutQueueSize, 2048);
    EXPECT_TRUE(comm.ErrorText.empty());
}

TEST_F(RecordTest, CommErrorTextChoosesByExactFlags)
{
    const struct {
        uint32_t flags;
        const char* text;
    } rows[] = {
        {0x0001, "Receive Queue overflow "},     {0x0002, "Receive Overrun Error "},
        {0x0004, "Receive Parity Error "},       {0x0008, "Receive Framing error "},
        {0x0010, "Break Detected "},             {0x0100, "TX Queue is full "},
        {0x0200, "LPTx Timeout "},               {0x0400, "LPTx I/O Error "},
        {0x0800, "LPTx Device not selected "},   {0x1000, "LPTx Out-Of-Paper "},
        {0x8000, "Requested mode unsupported "}, {0x0006, "General error 6"},
        {0x0000, "General error 0"},             {0x0020, "General error 32"},
        {0xFFFF, "General error 65535"},         {0x10004, "Receive Parity Error "},
    };
    OpenPanelPort();
    for (const auto& row : rows) {
        line.error_flags = row.flags;
        EXPECT_EQ(CommErrorText(comm), row.text) << "flags " << row.flags;
    }
    // The query clears the flags, as it does on the port.
    line.error_flags = 0x0004;
    CommErrorText(comm);
    EXPECT_EQ(CommErrorText(comm), "General error 0");
}

TEST_F(RecordTest, FailedTransfersKeepTheCommErrorText)
{
    OpenPanelPort();
    line.fail_writes = true;
    line.error_flags = 0x0008;
    const uint8_t byte = 0x55;
    WriteComm(comm, &byte, 1);
    EXPECT_EQ(comm.ErrorText, "Receive Framing error ");

    line.fail_reads = true;
    line.input = {1, 2, 3};
    line.error_flags = 0x0002;
    uint8_t destination[3] = {};
    EXPECT_EQ(ReadComm(comm, destination, 3), 0);
    EXPECT_EQ(comm.ErrorText, "Receive Overrun Error ");
}

TEST_F(RecordTest, ReadCommReturnsWhatWasDelivered)
{
    OpenPanelPort();
    line.input = {0xA1, 0xA2, 0xA3, 0xA4};
    EXPECT_EQ(BytesWaiting(comm), 4);
    uint8_t destination[10] = {};
    EXPECT_EQ(ReadComm(comm, destination, 10), 4);
    EXPECT_EQ(destination[3], 0xA4);
    EXPECT_EQ(destination[4], 0);
    EXPECT_EQ(BytesWaiting(comm), 0);
}

TEST_F(RecordTest, FlushInputEndsOnAnEndlessLine)
{
    OpenPanelPort();
    line.endless_input = true;
    line.input.assign(100, 0x55);
    FlushInput(comm, clock);  // the simulated clock stands still: the byte bound must end it
    EXPECT_GE(line.reads, 64 * 1024 / 100);
    EXPECT_LE(line.reads, 64 * 1024 / 100 + 1);
}

TEST_F(RecordTest, FlushInputStopsWhenReadsFail)
{
    OpenPanelPort();
    line.input = {1, 2, 3};
    line.fail_reads = true;
    FlushInput(comm, clock);
    EXPECT_EQ(line.reads, 1);
}

TEST_F(RecordTest, WaitOnAClosedRecordTakesItsTimeOnTheClock)
{
    const double start = clock.Now();
    EXPECT_EQ(WaitForInput(comm, clock, 0, 0.2), WaitResult::TimedOut);
    EXPECT_NEAR(clock.Now() - start, 0.2, 1e-9);
}

TEST(TimeStampTest, ElapsedSecondsToTheMillisecond)
{
    SimClock clock;
    const double stamp = TimeOfDay(clock);
    clock.Advance(0.25);
    EXPECT_NEAR(ElapsedSeconds(clock, stamp), 0.25, 1e-9);
    clock.Advance(0.0004);
    EXPECT_NEAR(ElapsedSeconds(clock, stamp), 0.25, 1e-9);
    clock.Advance(0.0002);
    EXPECT_NEAR(ElapsedSeconds(clock, stamp), 0.251, 1e-9);
}

}  // namespace
}  // namespace varnox
