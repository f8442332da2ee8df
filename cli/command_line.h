#pragma once
// The console tool's command line: one port, --help or --version.

#include <string>

#include "update/run_options.h"

namespace varnox {

struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::UsageError;
    // Run: either a device path (anything containing '/')...
    std::string device_path;
    // ...or the number n of COMn, 1..8, mapped to a real port.
    int port_number = 0;
    RunOptions run;
    // UsageError: what was wrong.
    std::string error;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

// The --help text.
std::string UsageText(const std::string& program);

}  // namespace varnox
