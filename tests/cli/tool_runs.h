#pragma once
// Running varnox-patch-cli against varnox-panel-sim on a pseudo-terminal, as
// an outside harness does: real programs, real time, real serial backend.

#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/panel_program.h"

namespace varnox::testing {

inline const std::string kCliPath = VARNOX_CLI_PATH;
inline const std::string kSimPath = VARNOX_SIM_PATH;

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
    for (const auto& line : lines) text += line + "\n";
    return text;
}

}  // namespace varnox::testing
