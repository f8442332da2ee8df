#include "firmware/panel_identity.h"

#include <array>

#include "firmware/language_selector.h"

namespace varnox {
namespace {

// Family byte -> family code. Families not listed put no code in the name.
struct FamilyRow {
    uint8_t Family;
    const char* Code;
};

constexpr std::array<FamilyRow, 6> kFamilyCodes = {{
    {0, "KA"},
    {1, "KB"},
    {2, "KC"},
    {3, "KD"},
    {4, "KE"},
    {5, "KF"},
}};

// Variant code from the panel's own language set, first matching row wins.
// Only language set 0 depends on the family; sets not listed put no code in
// the name.
constexpr int kAnyFamily = -1;

struct VariantRow {
    uint8_t LanguageSet;
    int Family;  // kAnyFamily matches every family
    const char* Code;
};

constexpr std::array<VariantRow, 9> kVariantCodes = {{
    {0, 1, "I0"},
    {0, 2, "1C"},
    {0, 3, "E0"},
    {0, 4, "4A"},
    {0, kAnyFamily, "1A"},
    {1, kAnyFamily, "1B"},
    {2, kAnyFamily, "1D"},
    {3, kAnyFamily, "1E"},
    {4, kAnyFamily, "EL"},
}};

// The four option characters, from bit 0 to bit 3 of OptionFlags.
struct OptionRow {
    uint8_t Bit;
    char Letter;
};

constexpr std::array<OptionRow, 4> kOptionLetters = {{
    {0x01, 'A'},
    {0x02, 'A'},
    {0x04, 'W'},
    {0x08, 'I'},
}};

// Family 4 (KE) panels always carry the first option, whatever bit 0 says.
constexpr uint8_t kFamilyWithFirstOption = 4;
// The family whose selector variant may differ (KC).
constexpr uint8_t kSelectorFamily = 2;

const char* FamilyCode(uint8_t family)
{
    for (const FamilyRow& row : kFamilyCodes) {
        if (row.Family == family)
            return row.Code;
    }
    return "";
}

const char* PanelVariantCode(uint8_t languageSet, uint8_t family)
{
    for (const VariantRow& row : kVariantCodes) {
        if (row.LanguageSet == languageSet && (row.Family == kAnyFamily || row.Family == family)) {
            return row.Code;
        }
    }
    return "";
}

const char* SelectorVariantCode(const SelectorEntry& entry, uint8_t family)
{
    return family == kSelectorFamily ? entry.VariantCodeFamily2 : entry.VariantCode;
}

bool IsSelectorEntry(int32_t selectorIndex)
{
    return selectorIndex >= 0 && static_cast<std::size_t>(selectorIndex) < kLanguageSelector.size();
}

}  // namespace

std::optional<std::string> BuildFirmwareName(const PanelIdentity& identity, int32_t selectorIndex)
{
    if (identity.Release() > kNewestRelease)
        return std::nullopt;

    const uint8_t family = identity.Family();
    const uint8_t flags = identity.OptionFlags();

    std::string name = "FW";
    name += FamilyCode(family);
    name += IsSelectorEntry(selectorIndex)
                ? SelectorVariantCode(kLanguageSelector[static_cast<std::size_t>(selectorIndex)], family)
                : PanelVariantCode(identity.LanguageSet(), family);
    name += "VRX";
    name += (flags & 0xF0) != 0 ? 'S' : 'G';
    for (const OptionRow& option : kOptionLetters) {
        const bool forced = option.Bit == 0x01 && family == kFamilyWithFirstOption;
        name += (forced || (flags & option.Bit) != 0) ? option.Letter : '0';
    }
    name += "_2x04";
    return name;
}

}  // namespace varnox
