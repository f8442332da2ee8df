// One whole update at real time: varnox-patch-cli against varnox-panel-sim on
// a pseudo-terminal, about six minutes, almost all of it the specified waits.

#include <gtest/gtest.h>

#include "tests/cli/tool_runs.h"
#include "tests/support/expected_logs.h"

namespace varnox::testing {
namespace {

TEST(EndToEnd, WholeUpdateOfTheLargestImage)
{
    const std::string name = "FWKA1AVRXGAA0I_2x04";
    PanelProgram panel(kSimPath, {"--as", name, "--verify", name});
    ASSERT_FALSE(panel.Port().empty());

    const ChildResult run = RunTool({panel.Port()}, 800.0);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Joined(CompletedLog(name)));
    EXPECT_EQ(run.err, "");

    // The panel restarted after the end packet and holds the image.
    const ChildResult panel_end = panel.Stop();
    EXPECT_EQ(panel_end.status, 0) << panel_end.err;
    EXPECT_NE(panel_end.err.find("the panel holds the image"), std::string::npos) << panel_end.err;
}

}  // namespace
}  // namespace varnox::testing
