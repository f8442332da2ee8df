#include "sim/image_compare.h"

#include <cstdio>

namespace varnox {
namespace {

constexpr uint32_t kEepromImageStart = 0x24000;
constexpr uint32_t kEepromImageOffset = 0x20000;

std::string Difference(const char* where, uint32_t address, uint8_t panel, uint8_t image)
{
    char text[80];
    std::snprintf(text, sizeof text, "%s 0x%05X: panel 0x%02X, image 0x%02X", where, address, panel, image);
    return text;
}

}  // namespace

ImageComparison CompareWithImage(const PanelMemory& memory, std::span<const uint8_t> image)
{
    ImageComparison result;
    if (image.size() <= kEepromImageStart) {
        result.FirstMismatch = "the image has no EEPROM part (" + std::to_string(image.size()) + " bytes)";
        return result;
    }

    for (const FlashRange& range : kProgramFlashRanges)
        for (uint32_t a = range.First; a <= range.Last; ++a)
            if (memory.Flash[a] != image[a]) {
                result.FirstMismatch = Difference("flash", a, memory.Flash[a], image[a]);
                return result;
            }

    const uint32_t image_end = static_cast<uint32_t>(image.size() - 1);
    if (image_end - kEepromImageOffset >= memory.Eeprom.size()) {
        result.FirstMismatch = "the image's EEPROM part is larger than the EEPROM";
        return result;
    }
    for (uint32_t offset = kEepromImageStart; offset <= image_end; ++offset) {
        const uint32_t a = offset - kEepromImageOffset;
        if (memory.Eeprom[a] != image[offset]) {
            result.FirstMismatch = Difference("EEPROM", a, memory.Eeprom[a], image[offset]);
            return result;
        }
    }

    result.Equal = true;
    return result;
}

}  // namespace varnox
