#pragma once
// The window's arguments, the same for both windows: "COMn=DEVICE" maps menu
// item COMn (1..8) to a device instead of the port the window would use,
// "-h"/"--help" prints the usage and "--version" the program's version.

#include <string>
#include <vector>

#include "setup/program_setup.h"
#include "update/run_options.h"

namespace varnox {

struct WindowCommandLine {
    enum class Action { OpenWindow, Help, Version, UsageError };
    Action What = Action::OpenWindow;
    std::vector<PortOverride> Ports;
    RunOptions Run;
    std::string Error;  // UsageError: what was wrong
};

// `args` without the program name.
WindowCommandLine ParseWindowCommandLine(const std::vector<std::string>& args);
std::string WindowUsageText(const std::string& program);

// What the program answers before any window opens; exit status -1: open the window.
struct StartupAnswer {
    int ExitStatus = -1;
    std::string Out;  // for standard output
    std::string Err;  // for standard error (the native window shows it in a box)
};
StartupAnswer AnswerWindowCommandLine(const WindowCommandLine& line, const std::string& program);

}  // namespace varnox
