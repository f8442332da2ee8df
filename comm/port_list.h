#pragma once
// Every serial port of this machine, found without opening any: what the
// console tool's --list-ports prints, what a refused open names as the ports
// that do exist, and what the window's port menu shows behind each item.

#include <map>
#include <string>
#include <vector>

#include "comm/linux/adapter_identity.h"
#include "comm/port_map.h"

namespace varnox {

struct PortInfo {
    int Number = 0;       // the n of COMn that reaches it; 0 when none
    std::string Device;   // "/dev/ttyUSB0", "\\.\COM12"
    std::string Driver;   // "ftdi_sio", "FTDIBUS"
    std::string UsbId;    // "0403:6001"; empty for a port without USB behind it
    std::string Maker;    // "FTDI"
    std::string Product;  // "FT232R USB UART"
    std::string Serial;   // "A50285BI"
    std::string ById;     // "/dev/serial/by-id/usb-FTDI_..." (Linux)
};

#ifdef _WIN32
// The system's SERIALCOMM map, described through SetupAPI, by COM number.
std::vector<PortInfo> ListPorts();
// The device instance id of each present port, by COM number: it names the
// adapter behind a COM name ("FTDIBUS\VID_0403+PID_6001+A50285BIA\0000" holds
// FTDI's serial; a made-up id holding '&' names the USB socket instead).
std::map<int, std::string> PortInstanceIds();
// Whether the SERIALCOMM map lists COMn now; true when the map cannot be read.
bool ListedBySystem(int number);
#else
// The ports PortMap::Discover numbers, in its order, described from sysfs and
// the by-id links under `sources.Dev`/serial/by-id.
std::vector<PortInfo> ListPorts(const TtySources& sources = {});
#endif

// The port map that reaches each listed port under its number.
PortMap MapOf(const std::vector<PortInfo>& ports);

// "COM1 /dev/ttyUSB0 (FTDI FT232R USB UART A50285BI)": one port on one line.
std::string PortSummary(const PortInfo& port);

// "ports here: COM1 /dev/ttyUSB0 (...), COM2 /dev/ttyS0", or "no serial port
// here": appended to the reason a port could not be opened.
std::string PortsHere(const std::vector<PortInfo>& ports);

// The --list-ports table: a header line, then one line per port, columns aligned.
std::string PortTable(const std::vector<PortInfo>& ports);

// From a Windows hardware id "USB\VID_0403&PID_6001&REV_0600" (or FTDIBUS's
// "VID_0403+PID_6001+..."): "0403:6001"; empty when it names no USB device.
std::string UsbIdOfHardwareId(const std::string& hardware_id);

// The adapter's serial from a Windows device instance id: "A50285BI" from
// "USB\VID_0403&PID_6001\A50285BI" or "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000";
// empty when Windows made the id up (it then holds '&').
std::string SerialOfInstanceId(const std::string& instance_id);

// A Windows friendly name without its " (COMn)" ending.
std::string ProductOfFriendlyName(const std::string& friendly_name);

}  // namespace varnox
