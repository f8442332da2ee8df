#include <gtest/gtest.h>

#include <string>

#include "firmware/language_selector.h"
#include "firmware/panel_identity.h"

namespace varnox {
namespace {

PanelIdentity Block(uint8_t b0, uint8_t b1, uint8_t flags, uint8_t release, uint8_t languageSet, uint8_t family)
{
    PanelIdentity identity;
    identity.Bytes = {b0, b1, flags, release, languageSet, family};
    return identity;
}

// Name of a block with bytes 0/1 zero and Release 32.
std::string NameOf(uint8_t flags, uint8_t languageSet, uint8_t family, int32_t selector = kNoSelectorEntry)
{
    return BuildFirmwareName(Block(0, 0, flags, 32, languageSet, family), selector).value_or("<rejected>");
}

TEST(FirmwareNameTest, WorkedExamples)
{
    EXPECT_EQ(BuildFirmwareName(Block(0, 0, 0x0B, 0x20, 0, 0), kNoSelectorEntry), "FWKA1AVRXGAA0I_2x04");
    EXPECT_EQ(BuildFirmwareName(Block(0, 0, 0x0B, 0x20, 0, 0), 15), "FWKA1EVRXGAA0I_2x04");
    EXPECT_EQ(BuildFirmwareName(Block(0, 0, 0x1A, 0x05, 0, 4), kNoSelectorEntry), "FWKE4AVRXSAA0I_2x04");
    EXPECT_EQ(BuildFirmwareName(Block(0, 0, 0x0B, 0x21, 0, 0), kNoSelectorEntry), std::nullopt);
}

TEST(FirmwareNameTest, ReleaseGateLetsUpTo32Through)
{
    for (int release : {0, 1, 31, 32}) {
        EXPECT_TRUE(BuildFirmwareName(Block(0, 0, 0x0B, static_cast<uint8_t>(release), 0, 0), kNoSelectorEntry))
            << "release " << release;
    }
    for (int release : {33, 34, 0x7F, 0x80, 255}) {
        EXPECT_EQ(BuildFirmwareName(Block(0, 0, 0x0B, static_cast<uint8_t>(release), 0, 0), kNoSelectorEntry),
                  std::nullopt)
            << "release " << release;
        // A selector entry does not open the gate either.
        EXPECT_EQ(BuildFirmwareName(Block(0, 0, 0x0B, static_cast<uint8_t>(release), 0, 0), 0), std::nullopt);
    }
}

TEST(FirmwareNameTest, BytesZeroAndOnePlayNoPart)
{
    const auto reference = BuildFirmwareName(Block(0, 0, 0x0B, 32, 0, 0), kNoSelectorEntry);
    EXPECT_EQ(BuildFirmwareName(Block(0xFF, 0xFF, 0x0B, 32, 0, 0), kNoSelectorEntry), reference);
    EXPECT_EQ(BuildFirmwareName(Block(0x12, 0xA5, 0x0B, 32, 0, 0), kNoSelectorEntry), reference);
}

TEST(FirmwareNameTest, FamilyCodes)
{
    EXPECT_EQ(NameOf(0x0B, 1, 0).substr(2, 2), "KA");
    EXPECT_EQ(NameOf(0x0B, 1, 1).substr(2, 2), "KB");
    EXPECT_EQ(NameOf(0x0B, 1, 2).substr(2, 2), "KC");
    EXPECT_EQ(NameOf(0x0B, 1, 3).substr(2, 2), "KD");
    EXPECT_EQ(NameOf(0x0B, 1, 4).substr(2, 2), "KE");
    EXPECT_EQ(NameOf(0x0B, 1, 5).substr(2, 2), "KF");
}

TEST(FirmwareNameTest, PanelVariantCodes)
{
    EXPECT_EQ(NameOf(0x0B, 0, 0), "FWKA1AVRXGAA0I_2x04");
    EXPECT_EQ(NameOf(0x0B, 0, 1), "FWKBI0VRXGAA0I_2x04");
    EXPECT_EQ(NameOf(0x0C, 0, 2), "FWKC1CVRXG00WI_2x04");
    EXPECT_EQ(NameOf(0x0B, 0, 3), "FWKDE0VRXGAA0I_2x04");
    EXPECT_EQ(NameOf(0x0B, 0, 4), "FWKE4AVRXGAA0I_2x04");
    // Language set 0 with family 5: the family decides nothing there.
    EXPECT_EQ(NameOf(0x0B, 0, 5), "FWKF1AVRXGAA0I_2x04");
    EXPECT_EQ(NameOf(0x0B, 1, 0), "FWKA1BVRXGAA0I_2x04");
    EXPECT_EQ(NameOf(0x0B, 2, 0), "FWKA1DVRXGAA0I_2x04");
    EXPECT_EQ(NameOf(0x0B, 3, 0), "FWKA1EVRXGAA0I_2x04");
    EXPECT_EQ(NameOf(0x0B, 4, 0), "FWKAELVRXGAA0I_2x04");
}

TEST(FirmwareNameTest, FamilyDecidesTheVariantOnlyForLanguageSetZero)
{
    EXPECT_EQ(NameOf(0x0B, 1, 4), "FWKE1BVRXGAA0I_2x04");
    EXPECT_EQ(NameOf(0x0B, 4, 1), "FWKBELVRXGAA0I_2x04");
    EXPECT_EQ(NameOf(0x0B, 2, 3), "FWKD1DVRXGAA0I_2x04");
}

TEST(FirmwareNameTest, SgLetterAndOptionCharacters)
{
    // Characters 10 to 14 (0-based 9..13), family 0.
    EXPECT_EQ(NameOf(0x10, 0, 0).substr(9, 5), "S0000");
    EXPECT_EQ(NameOf(0xF0, 0, 0).substr(9, 5), "S0000");
    EXPECT_EQ(NameOf(0x80, 0, 0).substr(9, 5), "S0000");
    EXPECT_EQ(NameOf(0x0F, 0, 0).substr(9, 5), "GAAWI");
    EXPECT_EQ(NameOf(0x00, 0, 0).substr(9, 5), "G0000");
    EXPECT_EQ(NameOf(0xFF, 0, 0).substr(9, 5), "SAAWI");
    EXPECT_EQ(NameOf(0x01, 0, 0).substr(9, 5), "GA000");
    EXPECT_EQ(NameOf(0x02, 0, 0).substr(9, 5), "G0A00");
    EXPECT_EQ(NameOf(0x04, 0, 0).substr(9, 5), "G00W0");
    EXPECT_EQ(NameOf(0x08, 0, 0).substr(9, 5), "G000I");
}

TEST(FirmwareNameTest, FamilyFourAlwaysHasTheFirstOption)
{
    EXPECT_EQ(NameOf(0x00, 0, 4).substr(9, 5), "GA000");
    EXPECT_EQ(NameOf(0x10, 0, 4).substr(9, 5), "SA000");
    EXPECT_EQ(NameOf(0x0A, 0, 4).substr(9, 5), "GAA0I");
    // Other families with bit 0 clear put "0" there.
    EXPECT_EQ(NameOf(0x0A, 0, 0).substr(9, 5), "G0A0I");
    EXPECT_EQ(NameOf(0x0A, 0, 5).substr(9, 5), "G0A0I");
}

TEST(FirmwareNameTest, UnknownCodesAreLeftOut)
{
    const std::string no_family = NameOf(0x0B, 0, 6);
    EXPECT_EQ(no_family, "FW1AVRXGAA0I_2x04");
    EXPECT_EQ(no_family.size(), 17u);
    EXPECT_EQ(NameOf(0x0B, 1, 255), "FW1BVRXGAA0I_2x04");

    const std::string no_variant = NameOf(0x0B, 5, 0);
    EXPECT_EQ(no_variant, "FWKAVRXGAA0I_2x04");
    EXPECT_EQ(no_variant.size(), 17u);
    EXPECT_EQ(NameOf(0x0B, 255, 2), "FWKCVRXGAA0I_2x04");

    const std::string neither = NameOf(0x0B, 5, 6);
    EXPECT_EQ(neither, "FWVRXGAA0I_2x04");
    EXPECT_EQ(neither.size(), 15u);
}

TEST(FirmwareNameTest, SelectorEntryReplacesTheLanguageSet)
{
    // Entry 8 gives 1B whatever the language set holds, even one without a code.
    for (int languageSet : {0, 1, 3, 4, 5, 255}) {
        EXPECT_EQ(NameOf(0x0B, static_cast<uint8_t>(languageSet), 0, 8), "FWKA1BVRXGAA0I_2x04");
    }
    // The family still gives its code and forces the first option.
    EXPECT_EQ(NameOf(0x00, 0, 4, 15), "FWKE1EVRXGA000_2x04");
    EXPECT_EQ(NameOf(0x0B, 0, 6, 19), "FWELVRXGAA0I_2x04");
}

TEST(FirmwareNameTest, SpanishAndPortugueseDependOnFamilyTwo)
{
    for (int entry : {4, 5}) {
        EXPECT_EQ(NameOf(0x0C, 0, 2, entry), "FWKC1CVRXG00WI_2x04") << "entry " << entry;
        for (int family : {0, 1, 3, 4, 5, 6}) {
            EXPECT_EQ(NameOf(0x0B, 0, static_cast<uint8_t>(family), entry).find("1A"), family == 6 ? 2u : 4u)
                << "entry " << entry << " family " << family;
        }
    }
    // Other entries give the same code for family 2 as for the rest.
    EXPECT_EQ(NameOf(0x0C, 0, 2, 0), "FWKC1AVRXG00WI_2x04");
    EXPECT_EQ(NameOf(0x0C, 0, 2, 6), "FWKC1DVRXG00WI_2x04");
}

TEST(FirmwareNameTest, EverySelectorEntryGivesItsCode)
{
    const char* expected[20] = {"1A", "1A", "1A", "1A", "1A", "1A", "1D", "1A", "1B", "1A",
                                "1D", "1D", "1D", "1D", "1D", "1E", "1D", "1E", "1E", "EL"};
    for (int entry = 0; entry < 20; ++entry) {
        EXPECT_EQ(NameOf(0x0B, 0, 1, entry).substr(4, 2), expected[entry]) << "entry " << entry;
    }
    EXPECT_STREQ(kLanguageSelector[0].Text, "ITALIANO");
    EXPECT_STREQ(kLanguageSelector[3].Text, "CZECK REPUBLIC");
    EXPECT_STREQ(kLanguageSelector[15].Text, "RUSSIAN");
    EXPECT_STREQ(kLanguageSelector[19].Text, "LITHUANIAN");
}

TEST(FirmwareNameTest, OutOfRangeSelectorIndexCountsAsNoEntry)
{
    for (int32_t index : {20, 21, 1000, -2, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(NameOf(0x0B, 3, 1, index), NameOf(0x0B, 3, 1)) << "index " << index;
        EXPECT_EQ(NameOf(0x0B, 0, 1, index), "FWKBI0VRXGAA0I_2x04") << "index " << index;
    }
}

}  // namespace
}  // namespace varnox
