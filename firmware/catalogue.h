#pragma once
// The firmware catalogue: which carried image each firmware name selects, and
// the working image into which a selection copies it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varnox {

struct CatalogueEntry {
    const char* Name;     // the firmware name, compared whole and case-sensitive
    const char* Image;    // the name of the image it selects
    uint32_t EndAddress;  // the image's last offset, inclusive
};

extern const std::array<CatalogueEntry, 22> FirmwareCatalogue;

// The catalogue row of a firmware name; nullptr when the name is not served.
const CatalogueEntry* FindCatalogueEntry(const std::string& firmware_name);

// The bytes of a carried firmware image by its name; empty when there is none.
std::span<const uint8_t> CarriedImage(const std::string& image_name);
// The names of the 21 carried firmware images, in catalogue order.
std::vector<std::string> CarriedImageNames();

// The microKernel, a 65536-byte memory image indexed by panel address.
std::span<const uint8_t> MicroKernelImage();
inline constexpr std::size_t kMicroKernelSize = 0x10000;

inline constexpr std::size_t kImageBufferSize = 215004;

// Image layout (offsets are panel addresses).
inline constexpr uint32_t kLowerFlashStart = 0x2400;
inline constexpr uint32_t kLowerFlashEnd = 0x2BFF;
inline constexpr uint32_t kUpperFlashStart = 0x4000;
inline constexpr uint32_t kUpperFlashEnd = 0x13FFF;
inline constexpr uint32_t kEepromImageStart = 0x24000;
inline constexpr uint32_t kEepromImageOffset = 0x20000;  // EEPROM address A is image offset 0x20000 + A

class WorkingImage {
public:
    WorkingImage() : ImageBuffer(kImageBufferSize, 0) {}

    // Copies the image that `name` selects into ImageBuffer and sets ImageEnd;
    // ImageEnd 0 means no entry matched (ImageBuffer then untouched). The bytes
    // above the new ImageEnd are cleared, so a smaller image never carries
    // leftovers of a larger one selected before: the EEPROM phase's last chunk
    // reads up to 16 bytes past ImageEnd and sends them to the panel.
    void SelectFirmwareImage(const std::string& name);

    std::vector<uint8_t> ImageBuffer;
    uint32_t ImageEnd = 0;
};

}  // namespace varnox
