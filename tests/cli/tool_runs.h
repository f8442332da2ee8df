#pragma once
// Running varnox-patch-cli against varnox-panel-sim on a pseudo-terminal, as
// an outside harness does: real programs, real time, real serial backend.

#include <string>
#include <vector>

#include "bench/child_process.h"

namespace varnox::testing {

inline const std::string kCliPath = VARNOX_CLI_PATH;
inline const std::string kSimPath = VARNOX_SIM_PATH;

// A simulated panel serving a pseudo-terminal for one test.
class PanelProgram {
public:
    // Starts it with `options`; Port() is empty when it did not come up.
    explicit PanelProgram(std::vector<std::string> options)
    {
        options.insert(options.begin(), kSimPath);
        std::string error;
        if (child_.Start(options, error)) child_.ReadStdoutLine(port_, 10.0);
    }
    const std::string& Port() const { return port_; }
    // Stops it (unless it stopped by itself) and collects what it wrote.
    ChildResult Stop(bool already_ending = false)
    {
        if (!already_ending) child_.Signal(15);
        return child_.Finish(30.0);
    }

private:
    ChildProcess child_;
    std::string port_;
};

// Runs the console tool to its end.
inline ChildResult RunTool(const std::vector<std::string>& args, double timeout_seconds = 60.0)
{
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), kCliPath);
    ChildProcess tool;
    std::string error;
    if (!tool.Start(argv, error)) {
        ChildResult failed;
        failed.err = error;
        return failed;
    }
    return tool.Finish(timeout_seconds);
}

inline std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

}  // namespace varnox::testing
