#pragma once
// The kinds of request the panel tells apart, in the order an update sends them.
// The names are the ones used on the simulator's command line.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace varnox {

enum class RequestKind : uint8_t {
    ReadMemory,
    ReadEeprom,
    WriteEeprom,
    WriteMemory,
    Handshake,    // the bootloader handshake frame (command 0x48)
    MicroKernel,  // a 66-byte microKernel packet with a non-zero address
    Closing,      // the 66-byte packet with address 0 that ends the microKernel
    Flash,        // a 132-byte flash packet
    End,          // the all-zero 132-byte end packet; it is never answered
};

inline constexpr std::size_t kRequestKindCount = 9;

// "read-memory", "read-eeprom", ..., "end".
const char* RequestKindName(RequestKind kind);
std::optional<RequestKind> ParseRequestKind(std::string_view name);

}  // namespace varnox
