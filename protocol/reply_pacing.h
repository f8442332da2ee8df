#pragma once
// When a service-protocol request looks at its reply. Both pacings take the
// reply by the same rule (at a look, `Threshold` bytes waiting decide); they
// differ in when the looks happen:
//  - Fixed: each look after its fixed pause, whatever the line has brought;
//  - Fast: the thread sleeps on the port and looks as soon as the whole reply
//    frame is in, plus a guard of a few character times so that a byte too many
//    is still seen; the fixed looks stay as the latest moments.

#include <span>

#include "comm/serial_port.h"
#include "core/clock.h"

namespace varnox {

enum class ReplyPacing { Fixed, Fast };

// The looks of one request.
struct ReplyLooks {
    // The pauses before each look: the first from the request's send, each
    // further one taken only when the look before it found too few bytes.
    std::span<const int> PausesMs;
    int Threshold;    // bytes that must be waiting for the reply to be taken
    int FrameLength;  // bytes of a whole reply frame
};

// Character times of the guard after a whole reply.
inline constexpr int kGuardCharacters = 3;

// Seconds one character takes on `line` (start bit, data, parity, stop bits).
double CharacterSeconds(const LineDescription& line);

// Waits as `pacing` says and returns the bytes waiting at the look that decides.
int AwaitReply(ReplyPacing pacing, SerialPort& port, Clock& clock, const ReplyLooks& looks);

}  // namespace varnox
