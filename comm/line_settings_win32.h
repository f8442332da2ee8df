#pragma once
// How the record's line settings map onto the DCB on Windows.

#include <cstdint>

#include "comm/serial_device.h"

namespace varnox {

// The DCB's 32 flag bits (fBinary .. fDummy2) as one word: the flag word is
// set whole, whatever the bit fields' individual values were.
uint32_t DcbFlagWord(const PlatformLineSettings& dcb);
void SetDcbFlagWord(PlatformLineSettings& dcb, uint32_t flags);

}  // namespace varnox
