#include "sim/panel_memory.h"

#include <algorithm>

namespace varnox {
namespace {

// Old contents that differ from any image and from erased flash, so that a
// block the update forgets to write shows up in a comparison.
uint8_t OldContent(uint32_t address, uint8_t seed)
{
    return static_cast<uint8_t>((address * 7u + (address >> 8) * 13u + seed) & 0xFF);
}

}  // namespace

PanelMemory::PanelMemory(const IdentityBytes& identity, uint16_t eeprom_word)
    : Flash(kPanelFlashSize), Eeprom(kPanelEepromSize), Ram(kPanelRamSize, 0)
{
    for (uint32_t a = 0; a < kPanelFlashSize; ++a)
        Flash[a] = OldContent(a, 0x5A);
    WriteIdentity(identity);

    for (uint32_t a = 0; a < kPanelEepromSize; ++a)
        Eeprom[a] = OldContent(a, 0xA5);
    Eeprom[kPanelEepromWordAddress] = static_cast<uint8_t>(eeprom_word & 0xFF);
    Eeprom[kPanelEepromWordAddress + 1] = static_cast<uint8_t>(eeprom_word >> 8);
}

IdentityBytes PanelMemory::Identity() const
{
    IdentityBytes identity{};
    std::copy_n(Flash.begin() + kPanelIdentityAddress, identity.size(), identity.begin());
    return identity;
}

void PanelMemory::WriteIdentity(const IdentityBytes& identity)
{
    std::copy(identity.begin(), identity.end(), Flash.begin() + kPanelIdentityAddress);
}

void PanelMemory::EraseProgramFlash()
{
    for (const FlashRange& range : kProgramFlashRanges)
        std::fill(Flash.begin() + range.First, Flash.begin() + range.Last + 1, 0xFF);
}

}  // namespace varnox
