#pragma once
// The panel's 6-byte identity block at 0xFED0..0xFED5, and the rule that
// turns it into the name of the firmware build that fits the panel.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace varnox {

inline constexpr uint16_t kIdentityAddress = 0xFED0;
inline constexpr uint8_t kIdentityLength = 6;
// The release every carried image has; a panel above it is refused.
inline constexpr uint8_t kNewestRelease = 32;
// The language selector's index when no entry is chosen.
inline constexpr int32_t kNoSelectorEntry = -1;

struct PanelIdentity {
    std::array<uint8_t, kIdentityLength> Bytes{};  // bytes 0 and 1 are not interpreted

    uint8_t OptionFlags() const { return Bytes[2]; }
    uint8_t Release() const { return Bytes[3]; }
    uint8_t LanguageSet() const { return Bytes[4]; }
    uint8_t Family() const { return Bytes[5]; }
};

// The firmware name for `identity`; std::nullopt when the release gate
// refuses the panel (Release above 32). `selectorIndex` is the item index of
// the language selector: -1 for none, else 0..19. Any other index names no
// entry and is treated as -1, so a stale or corrupt index can never read
// outside the selector's table.
//
// A Family of 6 and above or a LanguageSet of 5 and above (with no selector
// entry) leaves its code out; such a 17- or 15-character name matches no
// catalogue entry, which the caller reports as "no firmware available".
std::optional<std::string> BuildFirmwareName(const PanelIdentity& identity, int32_t selectorIndex);

}  // namespace varnox
