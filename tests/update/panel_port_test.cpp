// The engine's port: the panel's line, its error box, re-opening a port it
// still holds, waiting out a busy port, keeping the port through failed
// exchanges and waiting for an adapter that went away.

#include <gtest/gtest.h>

#include "tests/comm/fake_device.h"
#include "tests/support/recording_window.h"
#include "update/panel_port.h"

namespace varnox {
namespace {

using testing::FakeLine;
using testing::FakeOpener;
using testing::RecordingWindow;

class PanelPortTest : public ::testing::Test {
protected:
    FakeLine line;
    FakeOpener opener{line};
    RecordingWindow window;
    SimClock clock;
    PanelPort port{opener, clock, window};
};

TEST_F(PanelPortTest, OpensWithThePanelLine)
{
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(port.Open(3).ok());
    EXPECT_EQ(port.Serial().Number, 3);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(line.last_line, kPanelLine);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(PanelPortTest, ReopeningReleasesTheDeviceStillHeld)
{
    ASSERT_TRUE(port.Open(3).ok());
    ASSERT_TRUE(port.Open(3).ok());
    EXPECT_EQ(line.open_now, 1);
    EXPECT_EQ(line.closes, 1);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(PanelPortTest, CloseAtEveryExit)
{
    EXPECT_TRUE(port.Close().ok());  // never opened: nothing to do
    ASSERT_TRUE(port.Open(1).ok());
    port.Close();
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(line.closes, 1);
    EXPECT_EQ(line.open_now, 0);
}

// Each failure shows one error box, with the system's reason as its detail.
TEST_F(PanelPortTest, FailureShowsThePortErrorBox)
{
    opener.missing = 2;
    EXPECT_EQ(port.Open(2).kind, CommFailure::OpenRefused);
    line.fail_set_settings = true;
    EXPECT_EQ(port.Open(3).kind, CommFailure::LineRefused);
    ASSERT_EQ(window.boxes.size(), 2u);
    for (const auto& box : window.boxes) {
        EXPECT_EQ(box.Icon, BoxIcon::Error);
        EXPECT_EQ(box.Title, "Error");
        EXPECT_EQ(box.Text, "Impossibile accedere alla porta seriale");
    }
    EXPECT_EQ(window.boxes[0].Detail, "fake:COM2: no such device");
    EXPECT_EQ(window.boxes[1].Detail, "fake: the device did not take the line settings");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(line.open_now, 0);
}

TEST_F(PanelPortTest, ABusyPortIsTriedAgainForThreeSeconds)
{
    const double start = clock.Now();
    opener.busy = 8;  // free on the ninth try, 2 s later
    ASSERT_TRUE(port.Open(1).ok());
    EXPECT_DOUBLE_EQ(clock.Now() - start, 8 * kOpenRetryStepMs / 1000.0);
    EXPECT_TRUE(window.boxes.empty());

    port.Close();
    opener.busy = 1000;
    const double second = clock.Now();
    EXPECT_EQ(port.Open(1).kind, CommFailure::OpenRefused);
    EXPECT_NEAR(clock.Now() - second, kBusyRetrySeconds, kOpenRetryStepMs / 1000.0);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].Detail, "fake:COM1: the port is in use by another program");
}

TEST_F(PanelPortTest, AMissingPortIsNotWaitedForAtTheStart)
{
    opener.missing = 1;
    const double start = clock.Now();
    EXPECT_EQ(port.Open(1).kind, CommFailure::OpenRefused);
    EXPECT_EQ(clock.Now(), start);
    EXPECT_EQ(window.boxes.size(), 1u);
}

TEST_F(PanelPortTest, AFailedExchangeKeepsThePortAndDropsWhatWaits)
{
    ASSERT_TRUE(port.Open(1).ok());
    line.input = {1, 2, 3};
    port.AfterFailedExchange();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(line.input.empty());
    const std::atomic<bool> stop{false};
    EXPECT_EQ(port.Restore(stop), PortRestore::Kept);
    EXPECT_EQ(line.opens, 1);
}

TEST_F(PanelPortTest, AFailedWriteMakesTheNextAttemptReopen)
{
    ASSERT_TRUE(port.Open(1).ok());
    line.fail_writes = true;
    const uint8_t byte = 0;
    port.Serial().Send(&byte, 1);
    port.AfterFailedExchange();
    EXPECT_FALSE(port.IsOpen());
    line.fail_writes = false;
    const std::atomic<bool> stop{false};
    EXPECT_EQ(port.Restore(stop), PortRestore::Reopened);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(line.opens, 2);
    EXPECT_EQ(line.open_now, 1);
}

// Windows opens a COM name whose device is still away, then refuses its line:
// that is "not back yet" too, until the device is there.
TEST_F(PanelPortTest, ARefusedLineWhileTheAdapterComesBackIsWaitedOut)
{
    ASSERT_TRUE(port.Open(1).ok());
    line.fail_writes = true;
    const uint8_t byte = 0;
    port.Serial().Send(&byte, 1);
    port.AfterFailedExchange();
    line.fail_writes = false;
    line.away_until_open = 6;
    const std::atomic<bool> stop{false};
    EXPECT_EQ(port.Restore(stop), PortRestore::Reopened);
    EXPECT_EQ(line.opens, 7);
    EXPECT_EQ(line.open_now, 1);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(PanelPortTest, AGoneAdapterIsWaitedForTenSecondsOnceARun)
{
    ASSERT_TRUE(port.Open(2).ok());
    line.fail_reads = true;
    uint8_t byte = 0;
    port.Serial().Receive(&byte, 1);
    port.AfterFailedExchange();
    opener.missing = 2;
    const std::atomic<bool> stop{false};
    const double start = clock.Now();
    EXPECT_EQ(port.Restore(stop), PortRestore::Failed);
    EXPECT_NEAR(clock.Now() - start, kAdapterReturnSeconds, kOpenRetryStepMs / 1000.0);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].Detail, "fake:COM2: no such device");

    // Later attempts of the same run do not wait again, and show no box.
    const double later = clock.Now();
    EXPECT_EQ(port.Restore(stop), PortRestore::Failed);
    EXPECT_EQ(clock.Now(), later);
    EXPECT_EQ(window.boxes.size(), 1u);

    // A new run starts afresh.
    opener.missing = -1;
    line.fail_reads = false;
    ASSERT_TRUE(port.Open(2).ok());
    EXPECT_EQ(port.Restore(stop), PortRestore::Kept);
}

TEST_F(PanelPortTest, AStopEndsTheWaitForTheAdapter)
{
    ASSERT_TRUE(port.Open(2).ok());
    line.fail_writes = true;
    const uint8_t byte = 0;
    port.Serial().Send(&byte, 1);
    opener.missing = 2;
    const std::atomic<bool> stop{true};
    const double start = clock.Now();
    EXPECT_EQ(port.Restore(stop), PortRestore::Failed);
    EXPECT_EQ(clock.Now(), start);
}

}  // namespace
}  // namespace varnox
