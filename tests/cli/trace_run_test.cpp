// --trace through the real console tool: a whole update against the simulated
// panel, whose own transcript must show the same bytes in the same order.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tests/cli/tool_runs.h"

namespace varnox::testing {
namespace {

// The traffic of a transcript: one entry per run of bytes in one direction
// ("> 06 48 ..." or "< 06 B7 ..."), times and events left out, since the two
// sides stamp and split the same bytes differently.
std::vector<std::string> Traffic(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::string> runs;
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string time, direction;
        fields >> time >> direction;
        if (direction != ">" && direction != "<")
            continue;
        std::string bytes;
        std::getline(fields, bytes);
        if (!runs.empty() && runs.back()[0] == direction[0])
            runs.back() += bytes;
        else
            runs.push_back(direction + bytes);
    }
    return runs;
}

TEST(TraceRun, ToolTraceAndPanelTranscriptShowTheSameBytes)
{
    const std::string folder = kToolEnvironment.state_home;
    const std::string trace = folder + "/tool-trace.txt";
    const std::string transcript = folder + "/panel-transcript.txt";
    const std::string name = "FWKAELVRXGAA0I_2x04";
    std::vector<std::string> options = {"--as", name, "--transcript", transcript};
    for (const char* delay : {"byte=0", "read=0", "write=0", "handshake=0", "microkernel=0", "flash=0"})
        options.insert(options.end(), {"--delay", delay});
    PanelProgram panel(kSimPath, options);
    ASSERT_FALSE(panel.Port().empty());

    const ChildResult run = RunTool({"--fast", "--trace", trace, panel.Port()}, 90.0);
    EXPECT_EQ(run.status, 0) << run.err;
    const ChildResult panel_end = panel.Stop();
    EXPECT_EQ(panel_end.status, 0) << panel_end.err;

    const std::vector<std::string> tool_side = Traffic(trace);
    EXPECT_GT(tool_side.size(), 1000u) << "every EEPROM chunk and flash block is a request and a reply";
    EXPECT_EQ(tool_side, Traffic(transcript));
    std::ifstream file(trace);
    std::string heading, opened;
    std::getline(file, heading);
    std::getline(file, opened);
    EXPECT_EQ(heading, "# seconds, '>' tool to panel, '<' panel to tool, '#' port events");
    EXPECT_NE(opened.find(" # open COM1 " + panel.Port()), std::string::npos) << opened;
}

TEST(TraceRun, TraceFileThatCannotBeCreatedIsAUsageError)
{
    const ChildResult run = RunTool({"--trace", "/nonexistent/folder/trace.txt", "/dev/varnox-no-such-port"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(
                  "varnox-patch-cli: --trace: /nonexistent/folder/trace.txt: No such file or directory\n\n", 0),
              0u)
        << run.err;
}

}  // namespace
}  // namespace varnox::testing
