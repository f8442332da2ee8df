#pragma once
// The language selector's entries, in their order, with the variant code each
// puts into the firmware name in place of the panel's own language set. The
// window shows the texts; the naming uses the codes. This is the one place
// both take them from.

#include <array>

namespace varnox {

struct SelectorEntry {
    const char* Text;
    const char* VariantCode;         // the code for every family...
    const char* VariantCodeFamily2;  // ...but family 2 (KC), where Spanish and Portuguese differ
};

inline constexpr std::array<SelectorEntry, 20> kLanguageSelector = {{
    {"ITALIANO", "1A", "1A"},       {"ENGLISH", "1A", "1A"},    {"HUNGARIAN", "1A", "1A"},
    {"CZECK REPUBLIC", "1A", "1A"}, {"SPANISH", "1A", "1C"},    {"PORTUGUESE", "1A", "1C"},
    {"CROATIAN", "1D", "1D"},       {"DUTCH", "1A", "1A"},      {"GREEK", "1B", "1B"},
    {"POLISH", "1A", "1A"},         {"NORWEGIAN", "1D", "1D"},  {"SLOVENIAN", "1D", "1D"},
    {"ICELANDIC", "1D", "1D"},      {"FINNISH", "1D", "1D"},    {"GERMAN", "1D", "1D"},
    {"RUSSIAN", "1E", "1E"},        {"FRENCH", "1D", "1D"},     {"BULGARIAN", "1E", "1E"},
    {"ROMANIAN", "1E", "1E"},       {"LITHUANIAN", "EL", "EL"},
}};

}  // namespace varnox
