// A port the tool cannot have: held by another program, not permitted to the
// user, or not there at all. The error box names the port's fault, the run
// ends as an unanswered identity read, and another program's hold on the
// port survives the attempt.

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/cli/tool_runs.h"
#include "tests/faults/port_checks.h"
#include "tests/faults/tool_ending.h"

namespace varnox::testing {
namespace {

constexpr int kNobody = 65534;

// Runs the tool under `wrapper` (a program that runs its arguments).
ChildResult RunToolUnder(std::vector<std::string> wrapper, const std::string& port)
{
    // Another user could not write the test's run record.
    wrapper.insert(wrapper.end(), {kCliPath, "--no-record", port});
    return RunToEnd(wrapper, 60.0);
}

void ExpectRefusedPort(const ChildResult& run, const std::string& detail)
{
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Joined(ExpectedLog(Ending::IdentityRead, kNoAnswer)));
    EXPECT_EQ(run.err, Joined({kPortBox, detail}));
    // A busy or denied port is tried for 3 s, then the identity read's 250 ms:
    // no waiting on a port it never had.
    EXPECT_LT(run.wall_seconds, 5.0);
}

TEST(PortAccess, HeldByAnotherProgram)
{
    PanelProgram panel(kSimPath, {"--as", kPanelName});
    ASSERT_FALSE(panel.Port().empty());
    {
        PortHolder other(panel.Port());
        ASSERT_TRUE(other.Held());
        // Tried again for 3 s, then the box names the holder: this test's process.
        ExpectRefusedPort(RunTool({panel.Port()}), panel.Port() +
                                                       ": the port is in use by another program; likely held by "
                                                       "test_faults (process " +
                                                       std::to_string(::getpid()) + ")");
        EXPECT_TRUE(other.StillExclusive()) << "the refused open took the other program's exclusive mode away";
    }
    EXPECT_TRUE(PortReleased(panel.Port()));
}

TEST(PortAccess, PermissionDenied)
{
    PanelProgram panel(kSimPath, {"--as", kPanelName});
    ASSERT_FALSE(panel.Port().empty());
    ChildResult run;
    if (::geteuid() == 0) {
        // Root opens any device; the tool runs as a user outside the terminal's group instead.
        if (!Exists("/usr/bin/setpriv"))
            GTEST_SKIP() << "setpriv is needed to run the tool as another user";
        const std::string uid = std::to_string(kNobody);
        run =
            RunToolUnder({"/usr/bin/setpriv", "--reuid=" + uid, "--regid=" + uid, "--clear-groups"}, panel.Port());
    } else {
        ASSERT_EQ(::chmod(panel.Port().c_str(), 0), 0);
        run = RunTool({panel.Port()});
    }
    ExpectRefusedPort(run, panel.Port() + ": permission denied (the user must be in the dialout group)");
}

TEST(PortAccess, NoSuchDevice)
{
    ScratchFolder folder;
    const std::string missing = folder.Path() + "/ttyUSB0";
    ExpectRefusedPort(RunTool({missing}), NoSuchDevice(missing));
}

}  // namespace
}  // namespace varnox::testing
