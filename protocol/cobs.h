#pragma once
// Consistent Overhead Byte Stuffing of a packet into a frame, in place in a
// TPacketBuffer. A frame is the stuffed packet followed by one zero byte, the
// delimiter; it holds no other zero byte.

#include "protocol/link_result.h"
#include "protocol/packet_buffer.h"

namespace varnox {

// Largest packet that fits: the frame (packet + 2) must be countable in the length byte.
inline constexpr unsigned kMaxPacketLength = 253;
// Largest frame: what the length byte can count.
inline constexpr unsigned kMaxFrameLength = kMaxPacketLength + 2;

// Stuffs the packet in place into a frame; the length byte grows by 2.
// A packet longer than kMaxPacketLength cannot be framed and is left unchanged.
void CobsEncode(TPacketBuffer& buffer);

// True when the buffer holds exactly one well-formed frame. Changes nothing.
bool CobsCheck(const TPacketBuffer& buffer);

// Unstuffs the frame in place. A buffer that is not one well-formed frame is
// BadData and stays unchanged.
LinkResult CobsDecode(TPacketBuffer& buffer);

}  // namespace varnox
