#pragma once
// CRC-8/SMBUS: polynomial 0x07, initial value 0, no reflection, no final XOR.

#include <array>
#include <cstdint>

#include "protocol/packet_buffer.h"

namespace varnox {

// Entry i is the CRC of the single byte i.
extern const std::array<uint8_t, 256> kCrc8Table;

// CRC of `count` bytes of the buffer from index `start`; the index wraps at 256.
uint8_t Crc8(const TPacketBuffer& buffer, uint8_t start, uint8_t count);

// The same CRC over a plain byte run (used by the simulated panel and tools).
uint8_t Crc8Bytes(const uint8_t* data, std::size_t count);

}  // namespace varnox
