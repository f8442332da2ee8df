#include <algorithm>

#include "firmware/catalogue.h"

namespace varnox {

void WorkingImage::SelectFirmwareImage(const std::string& name)
{
    ImageEnd = 0;
    const CatalogueEntry* entry = FindCatalogueEntry(name);
    if (!entry)
        return;
    const std::span<const uint8_t> image = CarriedImage(entry->Image);
    // The build refuses wrongly sized images; should one slip through
    // anyway, selecting nothing is safer than sending a short image.
    if (image.size() != std::size_t{entry->EndAddress} + 1 || image.size() > ImageBuffer.size())
        return;
    ImageEnd = entry->EndAddress;
    const auto past_end = std::copy(image.begin(), image.end(), ImageBuffer.begin());
    // The EEPROM phase's last chunk reaches past ImageEnd: it must find
    // the zeros of a fresh buffer there, never a larger image's bytes.
    std::fill(past_end, ImageBuffer.end(), uint8_t{0});
}

}  // namespace varnox
