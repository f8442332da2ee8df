#pragma once
// Builders for what the tool sends the simulated panel, and a way to collect
// what the panel sends back with the times the bytes arrive.

#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

#include "protocol/cobs.h"
#include "protocol/crc8.h"
#include "sim/sim_panel.h"

namespace varnox::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes Frame(const Bytes& packet)
{
    TPacketBuffer buffer;
    for (std::size_t i = 0; i < packet.size(); ++i)
        buffer.Bytes[i] = packet[i];
    buffer.Length = static_cast<uint8_t>(packet.size());
    CobsEncode(buffer);
    return Bytes(buffer.Bytes, buffer.Bytes + buffer.Length);
}

// The packet inside a frame; empty when the frame is not well formed.
inline Bytes Unframe(const Bytes& frame)
{
    TPacketBuffer buffer;
    for (std::size_t i = 0; i < frame.size() && i < 256; ++i)
        buffer.Bytes[i] = frame[i];
    buffer.Length = static_cast<uint8_t>(frame.size());
    if (frame.size() > 255 || CobsDecode(buffer).failed())
        return {};
    return Bytes(buffer.Bytes, buffer.Bytes + buffer.Length);
}

inline Bytes Header(uint8_t code, uint16_t address, uint8_t count)
{
    Bytes packet = {code, count, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    packet.push_back(Crc8Bytes(packet.data(), packet.size()));
    return packet;
}

inline Bytes ReadRequest(uint8_t code, uint16_t address, uint8_t count)
{
    return Frame(Header(code, address, count));
}

inline Bytes WriteRequest(uint8_t code, uint16_t address, const Bytes& data)
{
    Bytes packet = Header(code, address, static_cast<uint8_t>(data.size()));
    packet.insert(packet.end(), data.begin(), data.end());
    packet.push_back(Crc8Bytes(data.data(), data.size()));
    return Frame(packet);
}

inline const Bytes kHandshakeFrame = {0x06, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00};

inline uint8_t Sum8(const Bytes& bytes)
{
    return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u) & 0xFF);
}

inline Bytes MicroKernelPacket(uint16_t address, uint8_t fill)
{
    Bytes packet = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    for (int i = 0; i < 64; ++i)
        packet.push_back(static_cast<uint8_t>(fill + i));
    return packet;
}

inline Bytes FlashPacket(uint32_t address, uint8_t fill)
{
    Bytes packet = {0x00, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                    static_cast<uint8_t>(address)};
    for (int i = 0; i < 128; ++i)
        packet.push_back(static_cast<uint8_t>(fill ^ i));
    return packet;
}

// Sends `request` at `time` and returns every reply byte the panel then has
// on its way, with arrival times; the panel's output is emptied.
inline std::vector<TimedByte> Exchange(SimPanel& panel, const Bytes& request, double time)
{
    panel.Receive(request, time);
    std::vector<TimedByte> reply(panel.Pending().begin(), panel.Pending().end());
    panel.DropArrived(std::numeric_limits<double>::infinity());
    return reply;
}

inline Bytes ValuesOf(const std::vector<TimedByte>& reply)
{
    Bytes values;
    for (const TimedByte& b : reply)
        values.push_back(b.Value);
    return values;
}

// How many reply bytes have arrived `seconds` after `start`.
inline std::size_t ArrivedAfter(const std::vector<TimedByte>& reply, double start, double seconds)
{
    std::size_t n = 0;
    for (const TimedByte& b : reply)
        n += b.At <= start + seconds ? 1 : 0;
    return n;
}

}  // namespace varnox::testing
