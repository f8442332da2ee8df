#pragma once
// Whether the panel holds what an update with a given firmware image writes:
// both program flash ranges, and the image's EEPROM part from EEPROM 0x4000.

#include <cstdint>
#include <span>
#include <string>

#include "sim/panel_memory.h"

namespace varnox {

struct ImageComparison {
    bool Equal = false;
    // Empty when equal; else the first difference, e.g.
    // "EEPROM 0x4A3C: panel 0x12, image 0x34", or why no comparison was possible.
    std::string FirstMismatch;
};

// `image` is indexed by panel address; its EEPROM part runs from offset
// 0x24000 to its last byte.
ImageComparison CompareWithImage(const PanelMemory& memory, std::span<const uint8_t> image);

}  // namespace varnox
