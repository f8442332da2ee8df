#pragma once
// The loader's raw byte protocol: the handshake frame, packet sizes, the
// flash address map, the reply waits, and the 8-bit sum that acknowledges a
// packet. No stuffing and no CRC apart from the handshake frame.

#include <array>
#include <cstddef>
#include <cstdint>

namespace varnox {

// The service-protocol frame of 48 01 01 01 (CRC 52) that switches the panel
// to its loader; the loader answers 6 bytes with the complement of 0x48 at byte 1.
inline constexpr std::array<uint8_t, 7> kHandshakeFrame = {0x06, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00};
inline constexpr std::size_t kHandshakeReplyLength = 6;
inline constexpr uint8_t kHandshakeAccepted = 0xB7;
inline constexpr int kHandshakePauseMs = 50;
inline constexpr double kHandshakeTimeout = 0.2;
// Three handshakes must succeed; a fourth is sent and its answer ignored.
inline constexpr int kRequiredHandshakes = 3;

// microKernel packets: two address bytes and 64 data bytes, acknowledged by
// exactly one byte. The loader code sits at 0x400..0x9FF.
inline constexpr uint16_t kMicroKernelStart = 0x400;
inline constexpr std::size_t kMicroKernelCopied = 2047;  // addresses 0x400..0xBFE
inline constexpr int kMicroKernelLastOffset = 1500;      // packets for k = 0, 64, ... while k <= 1500
inline constexpr std::size_t kKernelDataLength = 64;
inline constexpr std::size_t kKernelPacketLength = 66;
inline constexpr double kKernelTimeout = 0.2;
inline constexpr int kBeforeClosingPauseMs = 50;

// Flash packets: 00, a 24-bit address and 128 data bytes; 4-byte reply whose
// byte 3 is the sum.
inline constexpr std::size_t kFlashDataLength = 128;
inline constexpr std::size_t kFlashPacketLength = 132;
inline constexpr std::size_t kFlashReplyLength = 4;
inline constexpr double kFlashTimeout = 0.8;
inline constexpr int kFlashGaugeMaximum = 0x13FFF;

inline constexpr int kPacketAttempts = 4;
// The panel erases its flash after the closing packet and restarts after the
// end packet; nothing confirms either, so the tool waits a fixed time.
inline constexpr int kEraseWaitMs = 8000;
inline constexpr int kRestartWaitMs = 8000;

// The 8-bit sum, modulo 256, of `count` bytes.
inline uint8_t Sum8(const uint8_t* bytes, std::size_t count)
{
    uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

}  // namespace varnox
