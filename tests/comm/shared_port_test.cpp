// The shared port: its error box, and re-opening a port it still holds.

#include <gtest/gtest.h>

#include "comm/shared_port.h"
#include "tests/comm/fake_device.h"
#include "tests/support/recording_window.h"

namespace varnox {
namespace {

using testing::FakeLine;
using testing::FakeOpener;
using testing::RecordingWindow;

class SharedPortTest : public ::testing::Test {
protected:
    FakeLine line;
    FakeOpener opener{line};
    RecordingWindow window;
    SharedPort port{opener, window};
};

TEST_F(SharedPortTest, OpensWithThePanelSettings)
{
    EXPECT_EQ(port.CurrentComm, nullptr);
    ASSERT_TRUE(port.OpenDefaultPort(3));
    EXPECT_EQ(port.CurrentComm, &port.DefaultComm);
    EXPECT_EQ(port.DefaultComm.Port, 3);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(cfgetospeed(&line.last_set), B38400);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(SharedPortTest, ReopeningReleasesTheDeviceStillHeld)
{
    ASSERT_TRUE(port.OpenDefaultPort(3));
    ASSERT_TRUE(port.OpenDefaultPort(3));
    EXPECT_EQ(line.open_now, 1);
    EXPECT_EQ(line.closes, 1);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(SharedPortTest, CloseDefaultPortAtEveryExit)
{
    port.CloseDefaultPort();  // never opened: nothing to do
    ASSERT_TRUE(port.OpenDefaultPort(1));
    port.CloseDefaultPort();
    port.CloseDefaultPort();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(line.closes, 1);
    EXPECT_EQ(line.open_now, 0);
}

}  // namespace
}  // namespace varnox
