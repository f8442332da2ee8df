#pragma once
// The Linux serial backend: termios on a device path.

#include <memory>
#include <string>

#include "comm/port_map.h"
#include "comm/serial_device.h"

namespace varnox {

// Opens the device at `path` exclusively, raw, DTR and RTS inactive.
// On failure returns null and sets `reason` (e.g. "/dev/ttyUSB0: Device or resource busy").
std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& path, std::string& reason);

class PosixPortOpener final : public PortOpener {
public:
    explicit PosixPortOpener(PortMap map) : map_(std::move(map)) {}
    std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) override;
    std::string DeviceName(int port) const override { return map_.PathOf(port); }
    PortMap& Map() { return map_; }

private:
    PortMap map_;
};

}  // namespace varnox
