#include "ui/port_probe.h"

namespace varnox {

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
