// The scripted line that the request and engine tests stand on: when bytes
// count as arrived, how waits move the simulated clock, and its faults.

#include <gtest/gtest.h>

#include "tests/support/scripted_device.h"

namespace varnox::testing {
namespace {

// What a read delivered; -1 when it failed.
long ReadSome(SerialDevice& device, uint8_t* destination, std::size_t count)
{
    std::size_t delivered = 0;
    const CommResult read = device.Read(destination, count, delivered);
    return read.ok() ? static_cast<long>(delivered) : -1;
}

class ScriptedLineTest : public ::testing::Test {
protected:
    std::unique_ptr<SerialDevice> Open(int port = 1)
    {
        std::string reason;
        auto device = opener.OpenPort(port, reason);
        EXPECT_TRUE(device) << reason;
        return device;
    }

    SimClock clock;
    ScriptedLine line{clock};
    ScriptedOpener opener{line};
};

TEST_F(ScriptedLineTest, RepliesArriveRelativeToTheirWriteAndWaitsAdvanceTheClock)
{
    auto device = Open();
    line.ReplyToNextWrite(ByteByByte(0.010, 0.005, {0x01, 0x02, 0x03}));
    const double t0 = clock.Now();
    const uint8_t request[] = {0x06, 0x00};
    ASSERT_TRUE(device->Write(request, 2).ok());
    EXPECT_EQ(device->BytesWaiting(), 0);

    EXPECT_EQ(device->WaitForInput(0, 1.0), WaitResult::MoreInput);
    EXPECT_NEAR(clock.Now() - t0, 0.010, 1e-9);
    EXPECT_EQ(device->WaitForInput(1, 1.0), WaitResult::MoreInput);
    EXPECT_NEAR(clock.Now() - t0, 0.015, 1e-9);
    EXPECT_EQ(device->WaitForInput(1, 1.0), WaitResult::MoreInput);  // already more than seen: no wait
    EXPECT_NEAR(clock.Now() - t0, 0.015, 1e-9);

    clock.Pause(3);  // 18 ms: the third byte is not there yet
    EXPECT_EQ(device->BytesWaiting(), 2);
    clock.Pause(2);  // 20 ms: 0.010 + 2 * 0.005 meets 0.018 + 0.002 despite rounding
    EXPECT_EQ(device->BytesWaiting(), 3);

    uint8_t got[8] = {};
    EXPECT_EQ(ReadSome(*device, got, sizeof got), 3);
    EXPECT_EQ(got[2], 0x03);
    EXPECT_EQ(device->WaitForInput(0, 0.5), WaitResult::TimedOut);
    EXPECT_NEAR(clock.Now() - t0, 0.520, 1e-9);

    const auto writes = line.Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].time, t0);
    EXPECT_EQ(writes[0].bytes, (std::vector<uint8_t>{0x06, 0x00}));
}

TEST_F(ScriptedLineTest, ScriptedRepliesComeFirstThenTheResponder)
{
    auto device = Open();
    line.ReplyToNextWrite(Never());
    line.ReplyToNextWrite(At(0, {0xA1}));
    line.SetResponder([](const std::vector<uint8_t>& written) { return At(0, {written[0]}); });
    for (uint8_t b : {0x10, 0x20, 0x30})
        device->Write(&b, 1);
    EXPECT_EQ(line.UnusedReplies(), 0u);

    uint8_t got[4] = {};
    ASSERT_EQ(ReadSome(*device, got, 4), 2);
    EXPECT_EQ(got[0], 0xA1);
    EXPECT_EQ(got[1], 0x30);
}

TEST_F(ScriptedLineTest, InputIsLostWhileThePortIsClosed)
{
    auto device = Open();
    line.ReplyToNextWrite(At(0.1, {0x01, 0x02}));
    const uint8_t b = 0;
    device->Write(&b, 1);
    ASSERT_TRUE(device->Close().ok());
    EXPECT_FALSE(line.IsOpen(1));
    clock.Pause(200);

    auto again = Open();
    EXPECT_EQ(again->BytesWaiting(), 0);
    EXPECT_EQ(line.Opens(), 2);
    EXPECT_EQ(line.Closes(), 1);
}

TEST_F(ScriptedLineTest, OpensFailWhenToldOrWhileThePortIsHeld)
{
    std::string reason;
    line.FailNextOpens(1, "Permission denied");
    EXPECT_FALSE(opener.OpenPort(1, reason));
    EXPECT_EQ(reason, "Permission denied");

    auto held = Open(1);
    EXPECT_FALSE(opener.OpenPort(1, reason));
    EXPECT_EQ(reason, "Device or resource busy");

    line.SetPortMissing(2, true);
    EXPECT_FALSE(opener.OpenPort(2, reason));
    EXPECT_EQ(reason, "No such file or directory");

    held.reset();  // destroying the device closes it
    EXPECT_TRUE(Open(1));
}

TEST_F(ScriptedLineTest, ReadsCanBeCutAndWritesAndClosesRefused)
{
    auto device = Open();
    line.Inject(clock.Now(), {1, 2, 3, 4});
    line.LimitReads(3);
    uint8_t got[4] = {};
    EXPECT_EQ(ReadSome(*device, got, 4), 3);
    line.FailReads(true);
    EXPECT_EQ(ReadSome(*device, got, 4), -1);

    line.FailWrites(true);
    EXPECT_EQ(device->Write(got, 1).kind, CommFailure::WriteFailed);
    EXPECT_TRUE(line.Writes().empty());

    line.RefuseClose(true);
    EXPECT_EQ(device->Close().kind, CommFailure::CloseRefused);
    EXPECT_TRUE(line.IsOpen(1));
}

TEST_F(ScriptedLineTest, CountsTheLooksAtTheInputAfterEachWrite)
{
    auto device = Open();
    device->BytesWaiting();
    const uint8_t b = 0;
    device->Write(&b, 1);
    device->BytesWaiting();
    device->WaitForInput(0, 0.1);
    device->Write(&b, 1);
    line.Waiting();  // the test's own look does not count
    EXPECT_EQ(line.LooksAfterWrite(), (std::vector<long>{1, 2, 0}));
}

}  // namespace
}  // namespace varnox::testing
