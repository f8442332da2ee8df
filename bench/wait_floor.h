#pragma once
// The least time a whole update can take: the fixed waits of its exchanges,
// counted for the largest image. Replies, line time and the tool's own work
// come on top.

#include <array>

namespace varnox {

struct FixedWait {
    const char* What;
    int Count;
    int Milliseconds;
};

// One row per kind of fixed wait.
inline constexpr std::array<FixedWait, 8> kLargestImageWaits = {{
    {"identity read (ReadMemory, reply looked at after 250 ms)", 1, 250},
    {"EEPROM word read (ReadEeprom)", 1, 250},
    {"EEPROM word and address-15 writes (first look at 150 ms)", 2, 150},
    {"EEPROM chunks of 20 bytes (first look at 150 ms)", 2254, 150},
    {"pause after each handshake frame", 4, 50},
    {"pause before the closing packet", 1, 50},
    {"flash erase wait", 1, 8000},
    {"restart wait after the end packet", 1, 8000},
}};

constexpr long FloorMilliseconds()
{
    long total = 0;
    for (const FixedWait& wait : kLargestImageWaits) total += static_cast<long>(wait.Count) * wait.Milliseconds;
    return total;
}

static_assert(FloorMilliseconds() == 355150);

}  // namespace varnox
