#pragma once
// The program's arguments: "COMn=DEVICE" maps menu item COMn (1..8) to a
// device path instead of the serial port found on this machine.

#include <string>
#include <vector>

namespace varnox {

struct PortOverride {
    int Port = 0;
    std::string Path;
};

struct CommandLine {
    std::vector<PortOverride> Ports;
    bool Help = false;   // "-h" or "--help"
    std::string Error;   // empty when the arguments are good
};

// `args` without the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText(const std::string& program);

}  // namespace varnox
