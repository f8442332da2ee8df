#pragma once
// How a line description maps onto the termios on Linux.

#include <termios.h>

#include "comm/serial_device.h"

namespace varnox {

// Writes `line` into `settings` (read from the device first): raw transfer,
// no flow control, the rate, data bits, parity and stop bits. What termios
// cannot express (a rate without a constant, 4 data bits) keeps the device's.
void ApplyLine(const LineDescription& line, struct termios& settings);

// Whether the settings read back from a device are the ones that were
// written. A pseudo-terminal has no parity and always 8 data bits, so for it
// those differences are accepted.
bool LineSettingsMatch(const struct termios& wanted, const struct termios& actual, bool pseudo_terminal);

}  // namespace varnox
