#pragma once
// The port menu: its items COM1..COM8, after them each port that exists
// beyond the eight, what each leads to, and the probe of which of the eight
// are there and free right now (found without disturbing any port).

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
    std::array<bool, kMenuPorts> Usable{};       // entry n - 1: port n is there and free
    std::vector<PortMenuItem> Beyond;            // the ports numbered above the eight, all selectable
};

// Entry n - 1 describes item n; `ports` names the adapter behind each device.
std::array<PortMenuItem, kMenuPorts> PortMenuItems(const PortOpener& opener,
                                                   const std::vector<PortInfo>& ports = {});

// Entry n - 1 is true when port n is there and free (PortOpener::Available):
// no port's settings, modem lines or queues are touched.
std::array<bool, kMenuPorts> ProbeMenuPorts(PortOpener& opener);

// The whole menu: `ports` (as listed without opening) made known to the
// opener, the eight probed, and the listed ports above the eight.
PortMenuModel ProbePortMenu(PortOpener& opener, const std::vector<PortInfo>& ports);

}  // namespace varnox
