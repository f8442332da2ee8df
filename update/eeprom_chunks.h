#pragma once
// How the EEPROM part of the working image goes to the panel: in 20-byte
// chunks from image offset 0x24000, the last one sent whole. The download
// and the read-back both take the chunks' bytes from here.

#include <cstddef>
#include <cstdint>
#include <string>

#include "firmware/catalogue.h"

namespace varnox {

inline constexpr uint32_t kEepromChunkLength = 20;
inline constexpr int kEepromChunkAttempts = 6;

// One past the last image offset the download writes: the end of the chunk
// that holds ImageEnd.
uint32_t EepromWrittenEnd(const WorkingImage& image);

// The bytes the download writes at image offsets [offset, offset + length):
// the image's, and zeros past the end of its buffer.
void EepromBytesAt(const WorkingImage& image, uint32_t offset, uint8_t* destination, std::size_t length);

// The EEPROM address of an image offset, in decimal as the Address field shows it.
std::string EepromAddressText(uint32_t offset);
// The address a request carries: the low 16 bits of the offset (0x24000 goes out as 0x4000).
inline uint16_t EepromWireAddress(uint32_t offset)
{
    return static_cast<uint16_t>(offset & 0xFFFF);
}

}  // namespace varnox
