#pragma once
// The program's arguments: "COMn=DEVICE" sends menu item COMn (1..8) to
// another device, e.g. COM1=\\.\COM12 for an adapter numbered above 8.

#include <string>
#include <vector>

#include "comm/port_map.h"

namespace varnox {

struct WindowCommandLine {
    PortMap Overrides;
    std::string Error;  // empty when the arguments are good
};

// `args` without the program name.
WindowCommandLine ParseWindowCommandLine(const std::vector<std::string>& args);

inline constexpr const char* kWindowUsage =
    "varnox-patch [COMn=DEVICE ...]\n\n"
    "COMn=DEVICE maps the port menu's item COMn (n = 1..8) to DEVICE, "
    "for example COM1=\\\\.\\COM12.";

}  // namespace varnox
