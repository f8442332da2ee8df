#pragma once
// How a line description maps onto the DCB on Windows.

#include <windows.h>

#include <cstdint>

#include "comm/serial_device.h"

namespace varnox {

// The DCB's 32 flag bits (fBinary .. fDummy2) as one word: the flag word is
// set whole, whatever the bit fields' individual values were.
uint32_t DcbFlagWord(const DCB& dcb);
void SetDcbFlagWord(DCB& dcb, uint32_t flags);

// The flag word of a line: raw transfer, parity checking on, transmit
// continues after XOFF, no flow control; DTR and RTS as the line says.
uint32_t LineFlagWord(const LineDescription& line);

// Writes `line` into `dcb` (read from the device first), with the usual
// Xon/Xoff characters and limits and no special characters. A data bit
// count outside 4..8 keeps the device's.
void ApplyLine(const LineDescription& line, DCB& dcb);

}  // namespace varnox
