#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <vector>

#include "comm/port_list.h"

namespace varnox {

namespace {

// The "Ports (COM & LPT)" device class.
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string Property(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property)
{
    char text[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(devices, &device, property, nullptr, reinterpret_cast<BYTE*>(text),
                                           sizeof text - 2, nullptr))
        return {};
    return text;  // the first string of a list
}

std::string PortNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    char name[64] = {};
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    const bool read =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS &&
        type == REG_SZ;
    RegCloseKey(key);
    return read ? name : std::string();
}

// The COM ports the system has, from its SERIALCOMM map (driver object -> "COMn").
std::vector<PortInfo> SerialCommPorts()
{
    std::vector<PortInfo> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        char object[256] = {};
        char data[64] = {};
        DWORD object_size = sizeof object;
        DWORD data_size = sizeof data - 1;
        DWORD type = 0;
        const LONG status = RegEnumValueA(key, index, object, &object_size, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &data_size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        PortInfo port;
        port.Number = PortMap::ParsePortName(data);
        if (port.Number == 0)
            continue;
        port.Device = "\\\\.\\COM" + std::to_string(port.Number);
        ports.push_back(port);
    }
    RegCloseKey(key);
    return ports;
}

// Fills in what SetupAPI knows of each port: driver, maker, product, USB id, serial.
void Describe(std::vector<PortInfo>& ports)
{
    const HDEVINFO devices = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const int number = PortMap::ParsePortName(PortNameOf(devices, device));
        const auto port =
            std::find_if(ports.begin(), ports.end(), [number](const PortInfo& p) { return p.Number == number; });
        if (number == 0 || port == ports.end())
            continue;
        port->Driver = Property(devices, device, SPDRP_SERVICE);
        port->Maker = Property(devices, device, SPDRP_MFG);
        port->Product = ProductOfFriendlyName(Property(devices, device, SPDRP_FRIENDLYNAME));
        port->UsbId = UsbIdOfHardwareId(Property(devices, device, SPDRP_HARDWAREID));
        char instance[512] = {};
        if (SetupDiGetDeviceInstanceIdA(devices, &device, instance, sizeof instance, nullptr))
            port->Serial = SerialOfInstanceId(instance);
    }
    SetupDiDestroyDeviceInfoList(devices);
}

}  // namespace

std::map<int, std::string> PortInstanceIds()
{
    std::map<int, std::string> ids;
    const HDEVINFO devices = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return ids;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const int number = PortMap::ParsePortName(PortNameOf(devices, device));
        char instance[512] = {};
        if (number > 0 && SetupDiGetDeviceInstanceIdA(devices, &device, instance, sizeof instance, nullptr))
            ids[number] = instance;
    }
    SetupDiDestroyDeviceInfoList(devices);
    return ids;
}

bool ListedBySystem(int number)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return true;
    RegCloseKey(key);
    const std::vector<PortInfo> ports = SerialCommPorts();
    return std::any_of(ports.begin(), ports.end(),
                       [number](const PortInfo& port) { return port.Number == number; });
}

std::vector<PortInfo> ListPorts()
{
    std::vector<PortInfo> ports = SerialCommPorts();
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return a.Number < b.Number; });
    Describe(ports);
    return ports;
}

}  // namespace varnox
