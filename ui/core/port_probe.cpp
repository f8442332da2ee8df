#include "ui/core/port_probe.h"

#include <algorithm>

namespace varnox {

namespace {

// "/dev/ttyUSB0 (FTDI FT232R USB UART A50285BI)", or the device alone when
// the listing does not know it.
std::string DeviceText(const std::string& device, const std::vector<PortInfo>& ports)
{
    if (device.empty())
        return "(no device)";
    const auto found = std::find_if(ports.begin(), ports.end(),
                                    [&device](const PortInfo& port) { return port.Device == device; });
    if (found == ports.end())
        return device;
    PortInfo unnumbered = *found;
    unnumbered.Number = 0;
    return PortSummary(unnumbered);
}

}  // namespace

std::array<PortMenuItem, kMenuPorts> PortMenuItems(const PortOpener& opener, const std::vector<PortInfo>& ports)
{
    std::array<PortMenuItem, kMenuPorts> items;
    for (int port = 1; port <= kMenuPorts; ++port)
        items[port - 1] = {port, "COM" + std::to_string(port), DeviceText(opener.DeviceName(port), ports)};
    return items;
}

std::array<bool, kMenuPorts> ProbeMenuPorts(PortOpener& opener)
{
    std::array<bool, kMenuPorts> usable{};
    for (int port = 1; port <= kMenuPorts; ++port)
        usable[port - 1] = opener.Available(port);
    return usable;
}

PortMenuModel ProbePortMenu(PortOpener& opener, const std::vector<PortInfo>& ports)
{
    opener.Learn(ports);
    PortMenuModel menu;
    menu.Items = PortMenuItems(opener, ports);
    menu.Usable = ProbeMenuPorts(opener);
    for (const PortInfo& port : ports) {
        if (port.Number > kMenuPorts)
            menu.Beyond.push_back(
                {port.Number, "COM" + std::to_string(port.Number), DeviceText(port.Device, ports)});
    }
    return menu;
}

}  // namespace varnox
