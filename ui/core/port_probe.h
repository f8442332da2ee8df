#pragma once
// The port menu: its items COM1..COM8, and the start-up probe of which of
// them can be opened with the panel's line settings right now.

#include <array>
#include <string>

#include "comm/serial_port.h"

namespace varnox {

inline constexpr int kMenuPorts = 8;

struct PortMenuItem {
    std::string Text;    // "COMn"
    std::string Device;  // where it leads, "(no device)" when nowhere
};

// Entry n - 1 describes item n.
std::array<PortMenuItem, kMenuPorts> PortMenuItems(const PortOpener& opener);

// Opens each port n = 1..8 in turn and closes it again at once, also when it
// opened but could not be configured. Entry n - 1 is true when port n opened
// and took the settings.
std::array<bool, kMenuPorts> ProbeMenuPorts(PortOpener& opener);

}  // namespace varnox
