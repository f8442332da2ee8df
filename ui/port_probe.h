#pragma once
// The start-up probe: which of the menu's ports COM1..COM8 can be opened
// with the panel's line settings right now.

#include <array>

#include "comm/serial_port.h"

namespace varnox {

inline constexpr int kMenuPorts = 8;

// Opens each port n = 1..8 in turn and closes it again at once, also when it
// opened but could not be configured. Entry n - 1 is true when port n opened
// and took the settings.
std::array<bool, kMenuPorts> ProbeMenuPorts(PortOpener& opener);

}  // namespace varnox
