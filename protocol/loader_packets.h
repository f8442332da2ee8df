#pragma once
// The packets of the panel's loader: the handshake frame that switches the
// panel to its loader (the one service-protocol frame of this phase), then raw
// packets without stuffing or CRC, each acknowledged with an 8-bit sum.

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

// One raw loader packet and the sum its acknowledgement must carry.
struct LoaderPacket {
    std::array<uint8_t, kFlashPacketLength> Bytes{};
    std::size_t Length = 0;
    uint8_t ExpectedSum = 0;
};

// The handshake frame: 06 48 01 01 01 52 00.
TPacketBuffer HandshakeFrame();
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
