#pragma once
// Plain, slow re-statements of the service protocol's checksum and stuffing,
// written apart from the product code so that the fuzz targets compare the
// product with an independent reading of the rules rather than with itself.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace varnox::fuzz {

using ByteVector = std::vector<uint8_t>;

// CRC-8/SMBUS bit by bit: polynomial 0x07, initial 0, no reflection, no final XOR.
inline uint8_t ReferenceCrc8(const uint8_t* data, std::size_t count)
{
    uint8_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

// COBS of a packet of at most 253 bytes, followed by the zero delimiter.
inline ByteVector ReferenceFrame(const ByteVector& packet)
{
    ByteVector frame;
    ByteVector group;
    for (uint8_t byte : packet) {
        if (byte == 0) {
            frame.push_back(static_cast<uint8_t>(group.size() + 1));
            frame.insert(frame.end(), group.begin(), group.end());
            group.clear();
        } else {
            group.push_back(byte);
        }
    }
    frame.push_back(static_cast<uint8_t>(group.size() + 1));
    frame.insert(frame.end(), group.begin(), group.end());
    frame.push_back(0);
    return frame;
}

// The packet inside a frame of at most 255 bytes, or nothing when the bytes
// are not exactly one well-formed frame (code bytes that lead, through
// non-zero codes only, exactly onto a final zero).
inline std::optional<ByteVector> ReferenceUnframe(const ByteVector& frame)
{
    const std::size_t n = frame.size();
    if (n < 2 || n > 255)
        return std::nullopt;
    ByteVector packet;
    std::size_t k = 0;
    while (k < n - 1) {
        const std::size_t code = frame[k];
        if (code == 0 || k + code > n - 1)
            return std::nullopt;
        packet.insert(packet.end(), frame.begin() + static_cast<long>(k) + 1,
                      frame.begin() + static_cast<long>(k + code));
        k += code;
        if (k < n - 1) {
            if (frame[k] == 0)
                return std::nullopt;
            packet.push_back(0);
        }
    }
    if (frame[n - 1] != 0)
        return std::nullopt;
    return packet;
}

}  // namespace varnox::fuzz
