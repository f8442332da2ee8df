// The engine's port: the panel's line, its error box, and re-opening a port it still holds.

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
    PanelPort port{opener, window};
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
        EXPECT_EQ(box.Kind, BoxKind::Error);
        EXPECT_EQ(box.Title, "Error");
        EXPECT_EQ(box.Text, "Impossibile accedere alla porta seriale");
    }
    EXPECT_EQ(window.boxes[0].Detail, "fake:COM2: no such device");
    EXPECT_EQ(window.boxes[1].Detail, "fake: the device did not take the line settings");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(line.open_now, 0);
}

}  // namespace
}  // namespace varnox
