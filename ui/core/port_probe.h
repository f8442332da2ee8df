#pragma once
// The port menu: its items COM1..COM8, after them each port that exists
// beyond the eight, what each leads to, and the probe of which of the eight
// can be opened with the panel's line settings right now.

#include <array>
#include <string>
#include <vector>

#include "comm/port_list.h"
#include "comm/serial_port.h"

namespace varnox {

inline constexpr int kMenuPorts = 8;
// The highest COMn Windows numbers; the menu's items above the eight reach up to it.
inline constexpr int kHighestPortNumber = 256;

struct PortMenuItem {
    int Port = 0;        // the n of COMn the item chooses
    std::string Text;    // "COMn"
    std::string Device;  // where it leads, "(no device)" when nowhere; with the adapter when known
};

// The menu as the last probe found it.
struct PortMenuModel {
    std::array<PortMenuItem, kMenuPorts> Items;  // entry n - 1 is item n
    std::array<bool, kMenuPorts> Usable{};       // entry n - 1: port n opened and took the settings
    std::vector<PortMenuItem> Beyond;            // the ports numbered above the eight, all selectable
};

// Entry n - 1 describes item n; `ports` names the adapter behind each device.
std::array<PortMenuItem, kMenuPorts> PortMenuItems(const PortOpener& opener,
                                                   const std::vector<PortInfo>& ports = {});

// Opens each port n = 1..8 in turn and closes it again at once, also when it
// opened but could not be configured. Entry n - 1 is true when port n opened
// and took the settings.
std::array<bool, kMenuPorts> ProbeMenuPorts(PortOpener& opener);

// The whole menu: `ports` (as listed without opening) made known to the
// opener, the eight probed, and the listed ports above the eight.
PortMenuModel ProbePortMenu(PortOpener& opener, const std::vector<PortInfo>& ports);

}  // namespace varnox
