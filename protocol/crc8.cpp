#include "protocol/crc8.h"

#include <cstddef>

namespace varnox {
namespace {

constexpr std::array<uint8_t, 256> MakeTable()
{
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint8_t c = static_cast<uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            c = static_cast<uint8_t>((c & 0x80) ? (c << 1) ^ 0x07 : (c << 1));
        table[static_cast<std::size_t>(i)] = c;
    }
    return table;
}

}  // namespace

// Built at compile time: a constant table, one lookup per byte.
constinit const std::array<uint8_t, 256> kCrc8Table = MakeTable();

uint8_t Crc8(const TPacketBuffer& buffer, uint8_t start, uint8_t count)
{
    uint8_t c = 0;
    uint8_t index = start;
    for (unsigned n = 0; n < count; ++n, ++index)
        c = kCrc8Table[c ^ buffer.Bytes[index]];
    return c;
}

uint8_t Crc8Bytes(const uint8_t* data, std::size_t count)
{
    uint8_t c = 0;
    for (std::size_t n = 0; n < count; ++n)
        c = kCrc8Table[c ^ data[n]];
    return c;
}

}  // namespace varnox
