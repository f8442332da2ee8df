#pragma once
// Reply frames as the panel sends them, for the request tests.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "protocol/cobs.h"
#include "protocol/crc8.h"

namespace varnox::testing {

using Bytes = std::vector<uint8_t>;

// Stuffs a packet into its frame (delimiter included).
inline Bytes Frame(const Bytes& packet)
{
    TPacketBuffer buffer;
    buffer.Length = static_cast<uint8_t>(packet.size());
    std::copy(packet.begin(), packet.end(), buffer.Bytes);
    CobsEncode(buffer);
    return Bytes(buffer.Bytes, buffer.Bytes + buffer.Length);
}

// Appends the CRC of everything before it.
inline Bytes WithCrc(Bytes packet)
{
    packet.push_back(Crc8Bytes(packet.data(), packet.size()));
    return packet;
}

// A read reply packet: a header (code, count, address, header check), the
// data, and the CRC of all bytes before it.
inline Bytes ReadReplyPacket(uint8_t code, uint16_t address, const Bytes& data)
{
    Bytes packet = WithCrc({code, static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                            static_cast<uint8_t>(address & 0xFF)});
    packet.insert(packet.end(), data.begin(), data.end());
    return WithCrc(packet);
}

inline Bytes ReadReplyFrame(uint8_t code, uint16_t address, const Bytes& data)
{
    return Frame(ReadReplyPacket(code, address, data));
}

// The 7-byte acknowledgement of a write: four bytes and their CRC.
inline Bytes AckFrame(uint8_t code = 4, uint8_t count = 1, uint16_t address = 0x000F)
{
    return Frame(WithCrc({code, count, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF)}));
}

// A sample identity block.
inline const Bytes kIdentity = {0x4B, 0x41, 0x02, 0x04, 0x31, 0x10};

}  // namespace varnox::testing
