#pragma once
// Running varnox-patch-cli against varnox-panel-sim on a pseudo-terminal, as
// an outside harness does: real programs, real time, real serial backend.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/panel_program.h"

namespace varnox::testing {

inline const std::string kCliPath = VARNOX_CLI_PATH;
inline const std::string kSimPath = VARNOX_SIM_PATH;

// Every tool these tests start may write the carried stand-ins, and keeps its
// run record in a folder of its own instead of the user's.
struct ToolEnvironment {
    ToolEnvironment()
    {
        ::setenv("VARNOX_ALLOW_STAND_IN", "1", 1);
        char folder[] = "/tmp/varnox-test-state-XXXXXX";
        state_home = ::mkdtemp(folder) != nullptr ? folder : "/nonexistent/varnox-test-state";
        ::setenv("XDG_STATE_HOME", state_home.c_str(), 1);
    }
    ~ToolEnvironment()
    {
        std::error_code ignored;
        std::filesystem::remove_all(state_home, ignored);
    }
    std::string state_home;  // XDG_STATE_HOME of every tool started
};
inline const ToolEnvironment kToolEnvironment;

// argv that runs the tool without the stand-in permission of its environment.
inline std::vector<std::string> WithoutStandInPermission(const std::string& program, std::vector<std::string> args)
{
    args.insert(args.begin(), {"/usr/bin/env", "-u", "VARNOX_ALLOW_STAND_IN", program});
    return args;
}

// Runs the console tool to its end.
inline ChildResult RunTool(const std::vector<std::string>& args, double timeout_seconds = 60.0)
{
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), kCliPath);
    return RunToEnd(argv, timeout_seconds);
}

inline std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

}  // namespace varnox::testing
