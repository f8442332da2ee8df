#include <filesystem>
#include <system_error>

#include "comm/port_list.h"

namespace varnox {

namespace fs = std::filesystem;

namespace {

// The by-id link that leads to the tty `name`; empty when udev made none.
std::string ByIdLinkOf(const std::string& name, const TtySources& sources)
{
    std::error_code error;
    const fs::path folder = fs::path(sources.Dev) / "serial" / "by-id";
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code link_error;
        const fs::path target = fs::read_symlink(it->path(), link_error);
        if (!link_error && target.filename() == name)
            return it->path().string();
    }
    return {};
}

}  // namespace

std::vector<PortInfo> ListPorts(const TtySources& sources)
{
    std::vector<PortInfo> ports;
    const PortMap map = PortMap::Discover(sources.SysClassTty);
    for (int number = 1; !map.PathOf(number).empty(); ++number) {
        const std::string name = fs::path(map.PathOf(number)).filename().string();
        PortInfo port;
        port.Number = number;
        port.Device = (fs::path(sources.Dev) / name).string();
        std::error_code error;
        const fs::path driver =
            fs::read_symlink(fs::path(sources.SysClassTty) / name / "device" / "driver", error);
        if (!error)
            port.Driver = driver.filename().string();
        const std::string usb = UsbParentOf(name, sources);
        if (!usb.empty()) {
            port.UsbId = SysfsLine(usb + "/idVendor") + ":" + SysfsLine(usb + "/idProduct");
            port.Maker = SysfsLine(usb + "/manufacturer");
            port.Product = SysfsLine(usb + "/product");
            port.Serial = SysfsLine(usb + "/serial");
        }
        port.ById = ByIdLinkOf(name, sources);
        ports.push_back(port);
    }
    return ports;
}

}  // namespace varnox
