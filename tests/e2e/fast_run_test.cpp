// --fast through the real console tool at real time: the smallest image on a
// pseudo-terminal whose panel answers at once but for its EEPROM write time.

#include <gtest/gtest.h>

#include "tests/cli/tool_runs.h"
#include "tests/support/expected_logs.h"

namespace varnox::testing {
namespace {

TEST(FastRun, SmallestImageAtRealTime)
{
    const std::string name = "FWKAELVRXGAA0I_2x04";
    std::vector<std::string> options = {"--as", name, "--verify", name};
    for (const char* delay : {"byte=0", "read=0", "write=0", "handshake=0", "microkernel=0", "flash=0"})
        options.insert(options.end(), {"--delay", delay});
    PanelProgram panel(kSimPath, options);
    ASSERT_FALSE(panel.Port().empty());

    const ChildResult run = RunTool({"--fast", panel.Port()}, 90.0);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Joined(WithReadBack(CompletedLog(name), {"VERIFYING EEPROM MEMORY", "EEPROM VERIFIED"})));
    EXPECT_EQ(run.err, "");
    // The loader's two 8 s waits and 677 chunks of 5 ms write time are most of it.
    EXPECT_LT(run.wall_seconds, 40.0);
    EXPECT_LT(run.CpuSeconds(), 0.02 * run.wall_seconds) << "the waits sleep";

    const ChildResult panel_end = panel.Stop();
    EXPECT_EQ(panel_end.status, 0) << panel_end.err;
}

}  // namespace
}  // namespace varnox::testing
