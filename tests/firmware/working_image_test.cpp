#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "firmware/catalogue.h"

namespace varnox {
namespace {

bool BufferHoldsImage(const WorkingImage& working, const std::string& image_name)
{
    const std::span<const uint8_t> image = CarriedImage(image_name);
    return std::equal(image.begin(), image.end(), working.ImageBuffer.begin());
}

bool ZeroFrom(const WorkingImage& working, std::size_t offset)
{
    return std::all_of(working.ImageBuffer.begin() + static_cast<std::ptrdiff_t>(offset),
                       working.ImageBuffer.end(), [](uint8_t b) { return b == 0; });
}

TEST(WorkingImageTest, StartsZeroWithNoImage)
{
    WorkingImage working;
    EXPECT_EQ(working.ImageBuffer.size(), 215004u);
    EXPECT_EQ(working.ImageEnd, 0u);
    EXPECT_TRUE(ZeroFrom(working, 0));
}

TEST(WorkingImageTest, EveryEntrySelectsItsImageWithItsEndAddress)
{
    for (const CatalogueEntry& entry : FirmwareCatalogue) {
        WorkingImage working;
        working.SelectFirmwareImage(entry.Name);
        EXPECT_EQ(working.ImageEnd, entry.EndAddress) << entry.Name;
        EXPECT_TRUE(BufferHoldsImage(working, entry.Image)) << entry.Name;
        EXPECT_TRUE(ZeroFrom(working, std::size_t{entry.EndAddress} + 1)) << entry.Name;
    }
}

TEST(WorkingImageTest, EndAddressesOfTheFourSizes)
{
    WorkingImage working;
    working.SelectFirmwareImage("FWKA1AVRXSAA0I_2x04");
    EXPECT_EQ(working.ImageEnd, 0x2F017u);
    working.SelectFirmwareImage("FWKA1DVRXGAA0I_2x04");
    EXPECT_EQ(working.ImageEnd, 0x2DE7Bu);
    working.SelectFirmwareImage("FWKA1EVRXSAA0I_2x04");
    EXPECT_EQ(working.ImageEnd, 0x2980Bu);
    working.SelectFirmwareImage("FWKAELVRXGAA0I_2x04");
    EXPECT_EQ(working.ImageEnd, 0x274D3u);
}

TEST(WorkingImageTest, KeNameLoadsTheImageOfRowOne)
{
    WorkingImage working;
    working.SelectFirmwareImage("FWKE4AVRXGAA0I_2x04");
    EXPECT_EQ(working.ImageEnd, 192535u);
    EXPECT_TRUE(BufferHoldsImage(working, "FWKA1AVRXGAA0I_2x04"));
}

TEST(WorkingImageTest, NearMissesMatchNothingAndLeaveTheBufferAlone)
{
    const std::string variants[] = {
        "fwka1avrxgaa0i_2x04",
        "FWKA1AVRXGAA0I_2X04",
        "FWKA1AVRXgAA0I_2x04",
        "FWKA1AVRXGAA0I_2x0",
        "FWKA1AVRXGAA0I_2x044",
        " FWKA1AVRXGAA0I_2x04",
        "FWKA1AVRXGAA0I_2x04 ",
        "WKA1AVRXGAA0I_2x04",
        "FWKE4AVRXSAA0I_2x04",
        "FWKA1AVRXGAA0I",
        "FW1AVRXGAA0I_2x04",
        "FWVRXGAA0I_2x04",
        "",
        std::string("FWKA1AVRXGAA0I_2x04\0", 20),
    };
    WorkingImage working;
    working.SelectFirmwareImage("FWKC1CVRXS0AWI_2x04");
    const std::vector<uint8_t> before = working.ImageBuffer;
    for (const std::string& name : variants) {
        working.SelectFirmwareImage(name);
        EXPECT_EQ(working.ImageEnd, 0u) << '"' << name << '"';
        EXPECT_EQ(working.ImageBuffer, before) << '"' << name << '"';
    }
}

TEST(WorkingImageTest, SmallerImageAfterLargerLeavesNoStaleBytes)
{
    WorkingImage working;
    working.SelectFirmwareImage("FWKA1AVRXGAA0I_2x04");
    ASSERT_EQ(working.ImageEnd, 192535u);
    working.SelectFirmwareImage("FWKAELVRXGAA0I_2x04");
    ASSERT_EQ(working.ImageEnd, 160979u);
    EXPECT_TRUE(BufferHoldsImage(working, "FWKAELVRXGAA0I_2x04"));
    EXPECT_TRUE(ZeroFrom(working, 160980));
    // The EEPROM phase's last chunk (0x274D0..0x274E3) sends 16 bytes past the end.
    for (std::size_t offset = 0x274D4; offset <= 0x274E3; ++offset) {
        EXPECT_EQ(working.ImageBuffer[offset], 0) << std::hex << offset;
    }
}

TEST(WorkingImageTest, LastEepromChunkOfThe188028ImageIsPaddedWithZeros)
{
    WorkingImage working;
    working.SelectFirmwareImage("FWKC1CVRXG00WI_2x04");
    working.SelectFirmwareImage("FWKA1DVRXSAA0I_2x04");
    ASSERT_EQ(working.ImageEnd, 0x2DE7Bu);
    for (std::size_t offset = 0x2DE7C; offset <= 0x2DE83; ++offset) {
        EXPECT_EQ(working.ImageBuffer[offset], 0) << std::hex << offset;
    }
    EXPECT_TRUE(ZeroFrom(working, 188028));
}

TEST(WorkingImageTest, FailedSelectionAfterSuccessKeepsBytesButClearsEnd)
{
    WorkingImage working;
    working.SelectFirmwareImage("FWKA1EVRXGAA0I_2x04");
    working.SelectFirmwareImage("FWKZ1EVRXGAA0I_2x04");
    EXPECT_EQ(working.ImageEnd, 0u);
    EXPECT_TRUE(BufferHoldsImage(working, "FWKA1EVRXGAA0I_2x04"));
    working.SelectFirmwareImage("FWKA1EVRXGAA0I_2x04");
    EXPECT_EQ(working.ImageEnd, 169995u);
}

}  // namespace
}  // namespace varnox
