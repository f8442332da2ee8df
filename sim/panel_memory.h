#pragma once
// What the panel stores: its program flash, its EEPROM and the RAM the
// microKernel is loaded into.

#include <array>
#include <cstdint>
#include <vector>

#include "sim/panel_config.h"

namespace varnox {

// 128 KiB of program flash; the service protocol's 16-bit addresses see its
// first 64 KiB, so the identity block at 0xFED0 lies in the flash and changes
// with the firmware.
inline constexpr uint32_t kPanelFlashSize = 0x20000;
inline constexpr uint32_t kPanelEepromSize = 0x10000;
inline constexpr uint32_t kPanelRamSize = 0x10000;
inline constexpr uint16_t kPanelIdentityAddress = 0xFED0;
inline constexpr uint16_t kPanelEepromWordAddress = 0x2820;

// The ranges of the program flash that the loader erases and the update writes.
struct FlashRange {
    uint32_t First;
    uint32_t Last;  // inclusive
};
inline constexpr std::array<FlashRange, 2> kProgramFlashRanges = {{
    {0x2400, 0x2BFF},
    {0x4000, 0x13FFF},
}};

class PanelMemory {
public:
    // An old firmware whose identity block is `identity`, and an EEPROM of old
    // settings whose word at 0x2820 is `eeprom_word`.
    PanelMemory(const IdentityBytes& identity, uint16_t eeprom_word);

    IdentityBytes Identity() const;
    void WriteIdentity(const IdentityBytes& identity);
    // The erased state of flash is 0xFF.
    void EraseProgramFlash();

    std::vector<uint8_t> Flash;
    std::vector<uint8_t> Eeprom;
    std::vector<uint8_t> Ram;
};

}  // namespace varnox
