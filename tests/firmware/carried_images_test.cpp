#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "firmware/catalogue.h"
#include "firmware/panel_identity.h"

namespace varnox {
namespace {

bool AllZero(std::span<const uint8_t> image, std::size_t first, std::size_t last)
{
    const auto begin = image.begin() + static_cast<std::ptrdiff_t>(first);
    const auto end = image.begin() + static_cast<std::ptrdiff_t>(last) + 1;
    return std::all_of(begin, end, [](uint8_t b) { return b == 0; });
}

bool AnyNonZero(std::span<const uint8_t> image, std::size_t first, std::size_t last)
{
    return !AllZero(image, first, last);
}

const CatalogueEntry& FirstEntrySelecting(const std::string& image_name)
{
    return *std::find_if(FirmwareCatalogue.begin(), FirmwareCatalogue.end(),
                         [&](const CatalogueEntry& e) { return image_name == e.Image; });
}

TEST(CatalogueTableTest, NamesAreDistinctNineteenCharacterNamesEndingInI)
{
    std::set<std::string> names;
    for (const CatalogueEntry& entry : FirmwareCatalogue) {
        const std::string name = entry.Name;
        EXPECT_EQ(name.size(), 19u) << name;
        EXPECT_EQ(name[13], 'I') << name;
        EXPECT_TRUE(names.insert(name).second) << "duplicate " << name;
    }
}

TEST(CarriedImagesTest, TwentyOneImagesNamedAfterTheirFirstEntry)
{
    const std::vector<std::string> names = CarriedImageNames();
    ASSERT_EQ(names.size(), 21u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 21u);
    for (const std::string& name : names) {
        EXPECT_EQ(FirstEntrySelecting(name).Name, name);
    }
    EXPECT_TRUE(CarriedImage("FWKE4AVRXGAA0I_2x04").empty());
    EXPECT_TRUE(CarriedImage("MICROK").empty());
    EXPECT_TRUE(CarriedImage("").empty());
}

TEST(CarriedImagesTest, SizesAreTheFourCatalogueSizes)
{
    for (const std::string& name : CarriedImageNames()) {
        const std::size_t size = CarriedImage(name).size();
        EXPECT_TRUE(size == 192536 || size == 188028 || size == 169996 || size == 160980)
            << name << " has " << size << " bytes";
    }
    EXPECT_EQ(CarriedImage("FWKA1AVRXGAA0I_2x04").size(), 192536u);
    EXPECT_EQ(CarriedImage("FWKA1DVRXSAA0I_2x04").size(), 188028u);
    EXPECT_EQ(CarriedImage("FWKA1EVRXGAA0I_2x04").size(), 169996u);
    EXPECT_EQ(CarriedImage("FWKAELVRXGAA0I_2x04").size(), 160980u);
}

TEST(CarriedImagesTest, ZeroWhereTheLayoutIsZeroDataWhereItIsSent)
{
    for (const std::string& name : CarriedImageNames()) {
        const std::span<const uint8_t> image = CarriedImage(name);
        ASSERT_GT(image.size(), kEepromImageStart) << name;
        EXPECT_TRUE(AllZero(image, 0x00000, 0x023FF)) << name;
        EXPECT_TRUE(AllZero(image, 0x02C00, 0x03FFF)) << name;
        EXPECT_TRUE(AllZero(image, 0x14000, 0x23FFF)) << name;
        EXPECT_TRUE(AnyNonZero(image, kLowerFlashStart, kLowerFlashEnd)) << name;
        EXPECT_TRUE(AnyNonZero(image, kUpperFlashStart, kUpperFlashEnd)) << name;
        EXPECT_TRUE(AnyNonZero(image, kEepromImageStart, image.size() - 1)) << name;
    }
}

TEST(CarriedImagesTest, IdentityBlockNamesBackTheFirstEntry)
{
    for (const std::string& name : CarriedImageNames()) {
        const std::span<const uint8_t> image = CarriedImage(name);
        PanelIdentity identity;
        std::copy_n(image.begin() + kIdentityAddress, kIdentityLength, identity.Bytes.begin());
        EXPECT_EQ(identity.Bytes[0], 0) << name;
        EXPECT_EQ(identity.Bytes[1], 0) << name;
        EXPECT_EQ(identity.Release(), kNewestRelease) << name;
        EXPECT_EQ(BuildFirmwareName(identity, kNoSelectorEntry), FirstEntrySelecting(name).Name);
    }
    // The KE name shares the KA image; that image names back row 1, not row 13.
    PanelIdentity shared;
    std::copy_n(CarriedImage("FWKA1AVRXGAA0I_2x04").begin() + kIdentityAddress, kIdentityLength,
                shared.Bytes.begin());
    EXPECT_EQ(BuildFirmwareName(shared, kNoSelectorEntry), "FWKA1AVRXGAA0I_2x04");
}

TEST(MicroKernelImageTest, LoaderLayout)
{
    const std::span<const uint8_t> kernel = MicroKernelImage();
    ASSERT_EQ(kernel.size(), 65536u);
    EXPECT_TRUE(AllZero(kernel, 0x0000, 0x03FF));
    EXPECT_TRUE(AllZero(kernel, 0x0990, 0xFFFB));
    EXPECT_TRUE(AnyNonZero(kernel, 0x0400, 0x098F));
    // The last packet sent (0x9C0..0x9FF) and so the closing packet are all zero.
    EXPECT_TRUE(AllZero(kernel, 0x09C0, 0x09FF));
}

}  // namespace
}  // namespace varnox
