#pragma once
// How the record's line settings map onto the termios on Linux.

#include "comm/serial_device.h"

namespace varnox {

// Whether the settings read back from a device are the ones that were
// written. A pseudo-terminal has no parity and always 8 data bits, so for it
// those differences are accepted.
bool LineSettingsMatch(const PlatformLineSettings& wanted, const PlatformLineSettings& actual,
                       bool pseudo_terminal);

}  // namespace varnox
