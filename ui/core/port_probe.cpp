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
    TComm probe;
    std::array<bool, kMenuPorts> usable{};
    for (int port = 1; port <= kMenuPorts; ++port) {
        InitPanelLineSettings(probe, port);
        usable[port - 1] = OpenComm(probe, opener);
        // A device that opened but refused the settings is held too: release
        // it, or the update could not open that port afterwards.
        CloseComm(probe);
        if (probe.Handle >= 0 || probe.Device) {
            probe.Device.reset();  // destroying the device closes it
            probe.Handle = -1;
        }
    }
    return usable;
}

}  // namespace varnox
