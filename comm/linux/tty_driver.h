#pragma once
// What sysfs says about the driver behind a tty, for the warnings a driver
// deserves. Linux only.

#include <string>

#include "comm/linux/adapter_identity.h"

namespace varnox {

// The driver's name ("ch341-uart", "ftdi_sio", "serial8250"); empty for a
// device without one in sysfs (a pseudo-terminal). `device_path` may be a
// link (a by-id path): the tty it leads to counts.
std::string TtyDriver(const std::string& device_path, const TtySources& sources = {});

// A warning about the line settings on this device that the user should
// see, empty when there is none: old CH340 chips ignore the parity request.
std::string LineSettingsWarning(const std::string& device_path, const TtySources& sources = {});

}  // namespace varnox
