#pragma once
// How the simulated panel is set up: who it claims to be, what its EEPROM
// holds, how fast it answers and which replies go wrong.

#include <array>
#include <cstdint>
#include <vector>

#include "sim/panel_fault.h"

namespace varnox {

// Times in seconds. A reply delay runs from the moment the last byte of the
// request has reached the panel to the moment the first reply byte starts on
// the line. The defaults sit well inside the tool's windows: a read reply is
// complete about 20 ms after the request, a write acknowledgement about 60 ms
// (the tool's first look is at 150 ms), a flash reply about 60 ms.
struct PanelTiming {
    // 38400 baud 8E1: start, 8 data, parity and stop bit make 11 bits a byte.
    double ByteTime = 11.0 / 38400.0;
    double ReadDelay = 0.014;
    double WriteDelay = 0.050;
    double HandshakeDelay = 0.006;
    double MicroKernelDelay = 0.005;
    double FlashDelay = 0.020;
    // The tool waits 8 s for each; nothing confirms either to it.
    double EraseTime = 1.5;
    double RestartTime = 2.0;
    // A packet left incomplete for this long is dropped, so the panel finds
    // the start of the next one after a broken transfer.
    double InputGap = 0.050;
    // How far after the tool's last look a late (or split) reply completes.
    double LateMargin = 0.100;
    // Storing a WriteEeprom chunk: the acknowledgement follows the store, and
    // during it the panel takes no request (a real panel's UART drops what
    // comes while the EEPROM is being written).
    double EepromWriteTime = 0.005;
    // How long the adapter stays away after a pull-return fault.
    double AdapterReturn = 2.0;
};

using IdentityBytes = std::array<uint8_t, 6>;

struct PanelConfig {
    // What the old firmware's identity block holds at 0xFED0..0xFED5.
    IdentityBytes Identity = {0x00, 0x00, 0x0B, 0x20, 0x00, 0x00};
    // The EEPROM word at 0x2820 (stored low byte first).
    uint16_t EepromWord = 0x8000;
    PanelTiming Timing;
    std::vector<PanelFault> Faults;
};

}  // namespace varnox
