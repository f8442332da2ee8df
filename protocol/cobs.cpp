#include "protocol/cobs.h"

#include <cstring>

namespace varnox {

void CobsEncode(TPacketBuffer& buffer)
{
    const unsigned length = buffer.Length;
    if (length > kMaxPacketLength)
        return;

    // A zero after the packet closes the last group.
    buffer.Bytes[length] = 0;
    buffer.Length = static_cast<uint8_t>(length + 1);

    unsigned start = 0;
    while (start < buffer.Length) {
        unsigned zero = start;
        while (buffer.Bytes[zero] != 0)  // the zero at `length` ends every search
            ++zero;
        std::memmove(&buffer.Bytes[start + 1], &buffer.Bytes[start], zero - start);
        buffer.Bytes[start] = static_cast<uint8_t>(zero - start + 1);
        start = zero + 1;
    }

    buffer.Bytes[length + 1] = 0;
    buffer.Length = static_cast<uint8_t>(length + 2);
}

bool CobsCheck(const TPacketBuffer& buffer)
{
    const unsigned frame_length = buffer.Length;
    if (frame_length < 2)
        return false;

    // Follow the code bytes; they must lead, through non-zero codes only,
    // exactly onto the last byte, which must be the zero delimiter.
    uint8_t k = 0;
    unsigned sum = 0;
    while (sum < frame_length - 1) {
        const uint8_t code = buffer.Bytes[k];
        sum += code;
        k = static_cast<uint8_t>(k + code);
        if (buffer.Bytes[k] == 0)
            break;
    }
    return buffer.Bytes[k] == 0 && k == frame_length - 1;
}

LinkResult CobsDecode(TPacketBuffer& buffer)
{
    if (!CobsCheck(buffer))
        return LinkResult::Failed(LinkFailure::BadData);

    buffer.Length = 0;
    uint8_t k = 0;
    while (buffer.Bytes[k] != 0) {
        const uint8_t code = buffer.Bytes[k];
        buffer.Length = static_cast<uint8_t>(buffer.Length + code);
        std::memmove(&buffer.Bytes[k], &buffer.Bytes[k + 1], code - 1u);
        buffer.Bytes[k + code - 1] = 0;  // the zero implied after the group
        k = static_cast<uint8_t>(k + code);
    }
    buffer.Length = static_cast<uint8_t>(buffer.Length - 1);
    return {};
}

}  // namespace varnox
