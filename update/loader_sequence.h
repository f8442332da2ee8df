#pragma once
// The loader phase's sequence: what is sent from where, and the waits and
// attempts around the loader's packets (their replies' rules are in
// protocol/loader_packets.h).

#include <cstddef>
#include <cstdint>

namespace varnox {

// Three handshakes must succeed; a fourth is sent and its answer ignored.
inline constexpr int kRequiredHandshakes = 3;

// The loader code sits at 0x400..0x9FF of the microKernel image.
inline constexpr uint16_t kMicroKernelStart = 0x400;
inline constexpr std::size_t kMicroKernelCopied = 2047;  // addresses 0x400..0xBFE
inline constexpr int kMicroKernelLastOffset = 1500;      // packets for k = 0, 64, ... while k <= 1500
inline constexpr int kBeforeClosingPauseMs = 50;

inline constexpr int kFlashGaugeMaximum = 0x13FFF;

inline constexpr int kPacketAttempts = 4;
// The panel erases its flash after the closing packet and restarts after the
// end packet; nothing confirms either, so the tool waits a fixed time.
inline constexpr int kEraseWaitMs = 8000;
inline constexpr int kRestartWaitMs = 8000;

}  // namespace varnox
