#pragma once
// The packets of the panel's loader: the handshake frame that switches the
// panel to its loader (the one service-protocol frame of this phase), then raw
// packets without stuffing or CRC, each acknowledged with an 8-bit sum. Each
// packet carries the rule its acknowledgement is judged by.

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/packet_buffer.h"

namespace varnox {

// The handshake: packet 48 01 01 01 and its CRC, COBS-framed. The loader
// answers 6 bytes with the complement of 0x48 at byte 1.
inline constexpr uint8_t kHandshakeCommand = 0x48;
inline constexpr std::size_t kHandshakeReplyLength = 6;
inline constexpr uint8_t kHandshakeAccepted = 0xB7;

// microKernel packets: two address bytes and 64 data bytes, acknowledged by
// exactly one byte.
inline constexpr std::size_t kKernelDataLength = 64;
inline constexpr std::size_t kKernelPacketLength = 66;

// Flash packets: 00, a 24-bit address and 128 data bytes; a 4-byte reply
// whose byte 3 is the sum. The end packet has the same length, all zero.
inline constexpr std::size_t kFlashDataLength = 128;
inline constexpr std::size_t kFlashPacketLength = 132;
inline constexpr std::size_t kFlashReplyLength = 4;
inline constexpr std::size_t kFlashReplySumIndex = 3;

// The 8-bit sum, modulo 256, of `count` bytes.
uint8_t Sum8(const uint8_t* bytes, std::size_t count);

// How the loader acknowledges a packet: the reply's length, its time-out and
// where the check byte sits.
struct LoaderAck {
    std::size_t Bytes = 0;  // bytes that make the reply; 0: none is awaited
    bool Exactly = false;   // true: exactly Bytes must be waiting, a byte more is no reply
    std::size_t CheckIndex = 0;
    double TimeoutSeconds = 0;  // after the send (and the pause); a reply at the limit is in time
    int PauseMs = 0;            // taken after the send, before the reply is waited for
};

// The handshake's answer: 6 bytes, byte 1 the complement of the command,
// after a 50 ms pause and within 0.2 s.
inline constexpr LoaderAck kHandshakeAck{kHandshakeReplyLength, false, 1, 0.2, 50};
// A microKernel packet's: exactly one byte, the sum, within 0.2 s.
inline constexpr LoaderAck kKernelAck{1, true, 0, 0.2, 0};
// A flash packet's: four bytes (more are let go), byte 3 the sum, within 0.8 s.
inline constexpr LoaderAck kFlashAck{kFlashReplyLength, false, kFlashReplySumIndex, 0.8, 0};

// One raw loader packet and the check byte its acknowledgement must carry.
struct LoaderPacket {
    std::array<uint8_t, kFlashPacketLength> Bytes{};
    std::size_t Length = 0;
    uint8_t ExpectedSum = 0;
    LoaderAck Ack;
};

// The handshake frame: 06 48 01 01 01 52 00.
TPacketBuffer HandshakeFrame();
// The same frame as a packet whose acknowledgement carries kHandshakeAccepted.
LoaderPacket HandshakePacket();
// A microKernel packet for `address` with kKernelDataLength bytes of `data`;
// acknowledged with the sum of the whole packet.
LoaderPacket MicroKernelPacket(uint16_t address, const uint8_t* data);
// The closing packet: `data` again at address 0; acknowledged with the sum of the data alone.
LoaderPacket ClosingPacket(const uint8_t* data);
// A flash packet for `address` with kFlashDataLength bytes of `data`;
// acknowledged with the sum of the whole packet.
LoaderPacket FlashPacket(uint32_t address, const uint8_t* data);
// The end packet: all zero, never answered; the panel restarts on it.
LoaderPacket EndPacket();

}  // namespace varnox
