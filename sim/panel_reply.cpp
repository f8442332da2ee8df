// How the simulated panel puts its replies on the line: framing, scripted
// faults, reply delays and the line time of every byte.

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

#include "protocol/cobs.h"
#include "protocol/packet_buffer.h"
#include "sim/sim_panel.h"

namespace varnox {
namespace {

// When the tool looks for the reply for the last time, counted from its
// write of the request. A late reply completes after this look.
struct LastLookRow {
    RequestKind Kind;
    double Seconds;
};

constexpr std::array<LastLookRow, 8> kLastLooks = {{
    {RequestKind::ReadMemory, 0.250},
    {RequestKind::ReadEeprom, 0.250},
    {RequestKind::WriteEeprom, 0.210},  // looks at 150, 170 and 210 ms
    {RequestKind::WriteMemory, 0.210},
    {RequestKind::Handshake, 0.250},  // a 50 ms pause, then 0.2 s of polling
    {RequestKind::MicroKernel, 0.200},
    {RequestKind::Closing, 0.200},
    {RequestKind::Flash, 0.800},
}};

double LastLook(RequestKind kind)
{
    for (const LastLookRow& row : kLastLooks)
        if (row.Kind == kind)
            return row.Seconds;
    return 1.0;
}

// A wrong handshake reply carries the command itself where its complement belongs.
constexpr uint8_t kWrongHandshakeByte = 0x48;
constexpr uint8_t kExtraByte = 0x55;

}  // namespace

double SimPanel::DelayOf(RequestKind kind) const
{
    const PanelTiming& t = config_.Timing;
    switch (kind) {
    case RequestKind::ReadMemory:
    case RequestKind::ReadEeprom: return t.ReadDelay;
    // An EEPROM chunk is acknowledged once it is stored, however fast the panel.
    case RequestKind::WriteEeprom: return std::max(t.WriteDelay, t.EepromWriteTime);
    case RequestKind::WriteMemory: return t.WriteDelay;
    case RequestKind::Handshake: return t.HandshakeDelay;
    case RequestKind::MicroKernel:
    case RequestKind::Closing: return t.MicroKernelDelay;
    case RequestKind::Flash:
    case RequestKind::End: return t.FlashDelay;
    }
    return 0;
}

void SimPanel::Answer(RequestKind kind, std::vector<uint8_t> reply, bool framed, const PanelFault* fault,
                      const Arrival& arrival)
{
    const std::optional<PanelFaultType> type =
        fault != nullptr ? std::optional<PanelFaultType>(fault->Type) : std::nullopt;
    if (type == PanelFaultType::NoAnswer)
        return;

    if (framed) {
        if (type == PanelFaultType::BadCrc)
            reply.back() ^= 0xFF;
        TPacketBuffer buffer;
        std::copy(reply.begin(), reply.end(), buffer.Bytes);
        buffer.Length = static_cast<uint8_t>(reply.size());
        CobsEncode(buffer);
        reply.assign(buffer.Bytes, buffer.Bytes + buffer.Length);
        // A code byte of 0xFF leads past the end of any frame.
        if (type == PanelFaultType::BadCobs)
            reply[0] = 0xFF;
    }

    switch (type.value_or(PanelFaultType::NoAnswer)) {
    case PanelFaultType::WrongAck:
        if (kind == RequestKind::Handshake)
            reply[1] = kWrongHandshakeByte;
        else if (kind == RequestKind::Flash)
            reply[3] = static_cast<uint8_t>(reply[3] + 1);
        else
            reply[0] = static_cast<uint8_t>(reply[0] + 1);
        break;
    case PanelFaultType::ExtraByte: reply.push_back(kExtraByte); break;
    case PanelFaultType::DoubleAck: {
        const std::vector<uint8_t> once = reply;
        reply.insert(reply.end(), once.begin(), once.end());
        break;
    }
    case PanelFaultType::ShortReply: reply.pop_back(); break;
    default: break;
    }

    requests_.back().Answered = true;
    const double byte_time = config_.Timing.ByteTime;
    const double due =
        arrival.End + (type == PanelFaultType::EarlyAck ? config_.Timing.WriteDelay : DelayOf(kind));
    const double after_last_look = arrival.Start + LastLook(kind) + config_.Timing.LateMargin;

    if (type == PanelFaultType::Late) {
        const double start = after_last_look - static_cast<double>(reply.size()) * byte_time;
        Schedule(reply, std::max(due, start), false);
    } else if (type == PanelFaultType::Split) {
        const uint8_t last = reply.back();
        reply.pop_back();
        Schedule(reply, due, true);
        Schedule({last}, std::max(after_last_look - byte_time, tx_free_), false);
    } else {
        Schedule(reply, due, true);
    }
}

void SimPanel::Schedule(const std::vector<uint8_t>& bytes, double start, bool in_line)
{
    // Replies in line follow one another on the wire; a late reply is held
    // back by the panel and lands wherever its time falls. The adapter (a
    // UART's FIFO, a USB transfer) hands the bytes of one transmission to the
    // tool together, once the last of them is in: a stray byte after a reply,
    // or a reply sent twice, comes with the reply and not after it.
    const double first = in_line ? std::max(start, tx_free_) : start;
    const double done = first + static_cast<double>(bytes.size()) * config_.Timing.ByteTime;
    auto at = std::upper_bound(output_.begin(), output_.end(), done,
                               [](double time, const TimedByte& b) { return time < b.At; });
    for (const uint8_t value : bytes)
        at = std::next(output_.insert(at, TimedByte{done, value}));
    if (in_line)
        tx_free_ = done;
}

}  // namespace varnox
