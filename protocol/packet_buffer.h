#pragma once
// The buffer in which every service-protocol request is built and framed and
// every reply is read and unstuffed: one length byte and 256 bytes. All index
// arithmetic on it is 8-bit, so nothing can fall outside the 256 bytes.

#include <cstdint>

namespace varnox {

struct TPacketBuffer {
    uint8_t Length = 0;  // how many of Bytes are valid (at most 255)
    uint8_t Bytes[256] = {};
};

}  // namespace varnox
