#include "protocol/reply_pacing.h"

#include <algorithm>

#include "protocol/input_wait.h"

namespace varnox {

namespace {

int Waiting(SerialPort& port)
{
    return static_cast<int>(std::max(0L, port.BytesWaiting()));
}

int FixedLooks(SerialPort& port, Clock& clock, const ReplyLooks& looks)
{
    // Every look is taken; a pause only when the look before it found too few bytes.
    int waiting = 0;
    bool first = true;
    for (const int pause : looks.PausesMs) {
        if (first || waiting < looks.Threshold)
            clock.Pause(pause);
        first = false;
        waiting = Waiting(port);
    }
    return waiting;
}

int FastLooks(SerialPort& port, Clock& clock, const ReplyLooks& looks)
{
    const double sent = clock.Now();
    double mark = sent;
    int waiting = 0;
    for (const int pause : looks.PausesMs) {
        mark += pause / 1000.0;
        waiting = static_cast<int>(AwaitInput(port, clock, {looks.FrameLength}, InputDeadline::At(mark)));
        if (waiting >= looks.FrameLength) {
            // A stray byte right behind the reply must still make it bad data.
            port.WaitForInput(clock, waiting, kGuardCharacters * CharacterSeconds(port.Line));
            return Waiting(port);
        }
        // At the fixed look's moment the fixed rule decides.
        if (waiting >= looks.Threshold)
            return waiting;
    }
    return waiting;
}

}  // namespace

double CharacterSeconds(const LineDescription& line)
{
    const double stop = line.stop_bits == StopBits::One ? 1.0 : line.stop_bits == StopBits::Two ? 2.0 : 1.5;
    const double parity = line.parity == Parity::None ? 0.0 : 1.0;
    return (1.0 + line.data_bits + parity + stop) / std::max<uint32_t>(line.bits_per_second, 1);
}

int AwaitReply(ReplyPacing pacing, SerialPort& port, Clock& clock, const ReplyLooks& looks)
{
    return pacing == ReplyPacing::Fast ? FastLooks(port, clock, looks) : FixedLooks(port, clock, looks);
}

}  // namespace varnox
