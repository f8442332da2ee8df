#include "update/eeprom_chunks.h"

#include <algorithm>
#include <cstring>

namespace varnox {

uint32_t EepromWrittenEnd(const WorkingImage& image)
{
    if (image.ImageEnd < kEepromImageStart)
        return kEepromImageStart;
    const uint32_t chunks = (image.ImageEnd - kEepromImageStart) / kEepromChunkLength + 1;
    return kEepromImageStart + chunks * kEepromChunkLength;
}

void EepromBytesAt(const WorkingImage& image, uint32_t offset, uint8_t* destination, std::size_t length)
{
    std::memset(destination, 0, length);
    const std::size_t size = image.ImageBuffer.size();
    if (offset < size)
        std::memcpy(destination, image.ImageBuffer.data() + offset, std::min(length, size - offset));
}

std::string EepromAddressText(uint32_t offset)
{
    return std::to_string(offset - kEepromImageOffset);
}

}  // namespace varnox
