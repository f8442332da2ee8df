#include "ui/port_probe.h"

namespace varnox {

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
