#pragma once
// The least time a whole update of the largest image can take. First the
// fixed waits of its exchanges; then, on a line of finite speed, the time
// the loader exchanges must also wait for their bytes and the panel's answer
// (every other reply is due within a fixed wait and costs nothing extra).

#include <array>
#include <cstddef>

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
    for (const FixedWait& wait : kLargestImageWaits)
        total += static_cast<long>(wait.Count) * wait.Milliseconds;
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

// Fast mode on a line where a byte takes `byte_time` seconds, against a panel
// that answers at once but stores each EEPROM write for `eeprom_write_time`:
// every exchange costs its bytes on the line, each EEPROM write its store,
// and the loader's fixed pauses and 8 s waits stay. The EEPROM read-back is
// included (240-byte reads of the 45080 bytes written).
struct LineExchange {
    const char* What;
    int Count;
    int BytesOnLine;  // request and reply frames
    bool Stores;      // an EEPROM write: the panel's write time comes on top
};

inline constexpr int kReadBackReads = 45080 / 240;  // whole 240-byte reads, then one of 200 bytes

inline constexpr std::array<LineExchange, 10> kFastExchanges = {{
    {"identity read (6 bytes)", 1, 7 + 14, false},
    {"EEPROM word read (2 bytes)", 1, 7 + 10, false},
    {"EEPROM word write", 1, 10 + 7, true},
    {"address-15 write", 1, 9 + 7, true},
    {"EEPROM chunks (20 bytes)", 2254, 28 + 7, true},
    {"read-back reads (240 bytes)", kReadBackReads, 7 + 248, false},
    {"read-back read (200 bytes)", 1, 7 + 208, false},
    {"microKernel and closing packets", 25, 66 + 1, false},
    {"flash packets", 528, 132 + 4, false},
    {"identity read after the restart", 1, 7 + 14, false},
}};

// The loader's fixed waits (rows 4 to 7 of kLargestImageWaits): the
// handshake replies and the end packet's bytes fall inside them.
constexpr double LoaderWaitSeconds()
{
    long total = 0;
    for (std::size_t i = 4; i < 8; ++i)
        total += static_cast<long>(kLargestImageWaits[i].Count) * kLargestImageWaits[i].Milliseconds;
    return static_cast<double>(total) / 1000.0;
}

static_assert(LoaderWaitSeconds() == 16.25);

inline double FastFloorSeconds(double byte_time, double eeprom_write_time)
{
    double total = LoaderWaitSeconds();
    for (const LineExchange& exchange : kFastExchanges)
        total += exchange.Count * (exchange.BytesOnLine * byte_time + (exchange.Stores ? eeprom_write_time : 0.0));
    return total;
}

}  // namespace varnox
