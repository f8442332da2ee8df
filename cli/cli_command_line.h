#pragma once
// The console tool's command line: one port (to update or, with --identify,
// to identify), --history, --report, --list-ports, --help or --version.

#include <string>

#include "update/run_options.h"

namespace varnox {

struct CliCommandLine {
    enum class Action { Run, Identify, History, Report, ListPorts, Help, Version, UsageError };
    Action action = Action::UsageError;
    // Run: either a device path (anything containing '/')...
    std::string device_path;
    // ...or the number n of COMn (or \\.\COMn), 1..256, mapped to a real port.
    int port_number = 0;
    RunOptions run;
    // History, Report: the record file given; empty for the per-user one.
    std::string history_file;
    // Report: where the report goes, and which run (as --history numbers them; 0 the last).
    std::string report_file;
    int report_run = 0;
    // UsageError: what was wrong.
    std::string error;
};

CliCommandLine ParseCliCommandLine(int argc, const char* const* argv);

// The --help text.
std::string CliUsageText(const std::string& program);

}  // namespace varnox
