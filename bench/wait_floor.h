#pragma once
// The least time a whole update of the largest image can take. First the
// fixed waits of its exchanges; then, on a line of finite speed, the time
// the loader exchanges must also wait for their bytes and the panel's answer
// (every other reply is due within a fixed wait and costs nothing extra).

#include <array>

namespace varnox {

struct FixedWait {
    const char* What;
    int Count;
    int Milliseconds;
};

// One row per kind of fixed wait.
inline constexpr std::array<FixedWait, 9> kLargestImageWaits = {{
    {"identity read (ReadMemory, reply looked at after 250 ms)", 1, 250},
    {"EEPROM word read (ReadEeprom)", 1, 250},
    {"EEPROM word and address-15 writes (first look at 150 ms)", 2, 150},
    {"EEPROM chunks of 20 bytes (first look at 150 ms)", 2254, 150},
    {"pause after each handshake frame", 4, 50},
    {"pause before the closing packet", 1, 50},
    {"flash erase wait", 1, 8000},
    {"restart wait after the end packet", 1, 8000},
    {"identity read after the restart (verification, answered at once)", 1, 250},
}};

constexpr double FixedWaitSeconds()
{
    long total = 0;
    for (const FixedWait& wait : kLargestImageWaits) total += static_cast<long>(wait.Count) * wait.Milliseconds;
    return static_cast<double>(total) / 1000.0;
}

static_assert(FixedWaitSeconds() == 355.4);

// Loader exchanges that wait on their reply: packet and reply bytes on the
// line, then the panel's reply delay. The handshake's reply lands inside its
// 50 ms pause and adds nothing.
struct LoaderExchange {
    const char* What;
    int Count;
    int BytesOnLine;  // request and reply
};

inline constexpr std::array<LoaderExchange, 2> kLoaderExchanges = {{
    {"microKernel and closing packets (66 bytes, 1-byte acknowledgement)", 25, 66 + 1},
    {"flash packets (132 bytes, 4-byte reply)", 528, 132 + 4},
}};

// The floor on a line where a byte takes `byte_time` seconds and the panel
// answers the microKernel and flash packets after the given delays.
inline double LineFloorSeconds(double byte_time, double kernel_delay, double flash_delay)
{
    const double delays[] = {kernel_delay, flash_delay};
    double total = FixedWaitSeconds();
    for (std::size_t i = 0; i < kLoaderExchanges.size(); ++i)
        total += kLoaderExchanges[i].Count * (kLoaderExchanges[i].BytesOnLine * byte_time + delays[i]);
    return total;
}

}  // namespace varnox
