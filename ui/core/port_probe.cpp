#include "ui/core/port_probe.h"

namespace varnox {

std::array<PortMenuItem, kMenuPorts> PortMenuItems(const PortOpener& opener)
{
    std::array<PortMenuItem, kMenuPorts> items;
    for (int port = 1; port <= kMenuPorts; ++port) {
        const std::string device = opener.DeviceName(port);
        items[port - 1] = {"COM" + std::to_string(port), device.empty() ? "(no device)" : device};
    }
    return items;
}

std::array<bool, kMenuPorts> ProbeMenuPorts(PortOpener& opener)
{
    std::array<bool, kMenuPorts> usable{};
    for (int port = 1; port <= kMenuPorts; ++port) {
        SerialPort probe(port, kPanelLine);
        usable[port - 1] = probe.Open(opener).ok();
        // Closed at once; a device whose close was refused goes with the
        // record, whose end destroys (and so closes) it.
        probe.Close();
    }
    return usable;
}

}  // namespace varnox
