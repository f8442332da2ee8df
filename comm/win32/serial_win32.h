#pragma once
// The Windows serial backend: the communications API on \\.\COMn devices.

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "comm/port_map.h"
#include "comm/serial_device.h"

namespace varnox {

// Our longest write is 132 bytes, some 35 ms of line time at 38400 baud; a
// device that has not taken it after this long has stopped draining.
inline constexpr double kWin32WriteTimeoutSeconds = 2.0;

// The device name of COMn: the \\.\ prefix reaches ports above COM9 too.
std::string Win32DeviceName(int port);

// Why an open failed, from the error code GetLastError() gave, e.g.
// "COM3: the port is in use by another program".
std::string Win32OpenFailureText(const std::string& device, unsigned long error);

// Opens `device` exclusively for overlapped I/O. The line settings are the
// caller's (SerialPort::Open). On failure returns null and sets `reason`.
std::unique_ptr<SerialDevice> OpenWin32SerialDevice(const std::string& device, std::string& reason,
                                                    double write_timeout_seconds = kWin32WriteTimeoutSeconds);

class Win32Calls;

// The device for a handle already open for overlapped I/O, making its calls
// through `calls` (the tests' fake of the system); null with `reason` on failure.
std::unique_ptr<SerialDevice> AdoptWin32SerialDevice(HANDLE handle, const std::string& device, Win32Calls& calls,
                                                     std::string& reason,
                                                     double write_timeout_seconds = kWin32WriteTimeoutSeconds);

// The line settings the driver holds now for an open device of this backend;
// nullopt for another kind of device or when the driver does not say.
std::optional<DCB> DriverLineSettings(SerialDevice& device);

// COMn maps to \\.\COMn unless the map says otherwise (command-line
// overrides such as COM1=\\.\COM12). Remembers the device instance id of the
// adapter each port opened (PortInstanceIds): a re-open takes only that
// adapter, following it to another COM name, and refuses another adapter
// under the old name as missing ("another adapter on COM3: ...").
class Win32PortOpener final : public PortOpener {
public:
    explicit Win32PortOpener(PortMap overrides = {}) : overrides_(std::move(overrides)) {}
    std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) override;
    // A port the system does not list is not opened; whether a listed one is
    // free only an open can tell: opened unconfigured and closed at once.
    bool Available(int port) override;
    std::string DeviceName(int port) const override;
    OpenRefusal LastRefusal() const override { return last_refusal_; }

private:
    // Points port `port` at its known adapter's COM name; false with `reason`
    // when another adapter holds the name and ours is nowhere.
    bool FollowAdapter(int port, std::string& reason);

    PortMap overrides_;
    std::map<int, std::string> identities_;
    OpenRefusal last_refusal_ = OpenRefusal::None;
};

}  // namespace varnox
