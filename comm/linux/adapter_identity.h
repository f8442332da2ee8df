#pragma once
// The identity of a USB serial adapter that survives a dropout: unplugged and
// back, it may return as ttyUSB1 instead of ttyUSB0, but its USB vendor,
// product and serial (or, without a serial, the USB port it sits in) stay, as
// /dev/serial/by-id and /dev/serial/by-path name it. Linux sysfs only.

#include <cstddef>
#include <string>

namespace varnox {

struct TtySources {
    std::string SysClassTty = "/sys/class/tty";
    std::string Dev = "/dev";
};

// A sysfs attribute is at most a page.
inline constexpr std::size_t kSysfsAttributeLimit = 4096;

// The first line of a sysfs attribute file, without its newline, from at most
// kSysfsAttributeLimit bytes; empty when it is no regular file or cannot be read.
std::string SysfsLine(const std::string& file);

// The sysfs folder of the USB device that carries the descriptors (idVendor,
// idProduct, serial...) of the tty named `name` ("ttyUSB0"); empty when it has
// no USB parent.
std::string UsbParentOf(const std::string& name, const TtySources& sources = {});

// "usb:0403:6001:A50285BI", or "usb-port:0403:6001:1-1.2" for an adapter
// without a serial (its model and the USB socket it sits in); empty for a device with no USB parent (on-board UART, pseudo-terminal).
// `device_path` may be a link (a by-id path): the tty it leads to counts.
std::string AdapterIdentity(const std::string& device_path, const TtySources& sources = {});

// The device path ("/dev/ttyUSB1") of the tty whose identity is `identity`;
// empty when no such adapter is there.
std::string FindAdapter(const std::string& identity, const TtySources& sources = {});

}  // namespace varnox
