// Comparing the panel's memory with a firmware image.

#include <gtest/gtest.h>

#include "sim/image_compare.h"

namespace varnox {
namespace {

// An image of the smallest catalogue size with recognisable contents.
std::vector<uint8_t> MakeImage(std::size_t size = 160980)
{
    std::vector<uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    return image;
}

// What an update with `image` leaves in the panel.
void Install(PanelMemory& memory, const std::vector<uint8_t>& image)
{
    for (const FlashRange& range : kProgramFlashRanges)
        for (uint32_t a = range.First; a <= range.Last; ++a)
            memory.Flash[a] = image[a];
    for (uint32_t offset = 0x24000; offset < image.size(); ++offset)
        memory.Eeprom[offset - 0x20000] = image[offset];
}

TEST(ImageCompare, FreshPanelDiffersAtTheFirstFlashByte)
{
    const PanelMemory memory({0, 0, 0x0B, 0x20, 0, 0}, 0x8000);
    const auto image = MakeImage();
    const ImageComparison result = CompareWithImage(memory, image);
    EXPECT_FALSE(result.Equal);
    EXPECT_EQ(result.FirstMismatch.rfind("flash 0x02400: panel 0x", 0), 0u) << result.FirstMismatch;
}

TEST(ImageCompare, UpdatedPanelEqualsTheImageWhateverLiesOutsideTheWrittenRanges)
{
    PanelMemory memory({0, 0, 0x0B, 0x20, 0, 0}, 0x8000);
    const auto image = MakeImage();
    Install(memory, image);
    // Neither the gap between the flash ranges nor the EEPROM below 0x4000 or
    // past the image's end take part.
    memory.Flash[0x2C00] ^= 0xFF;
    memory.Eeprom[0x2820] ^= 0xFF;
    memory.Eeprom[image.size() - 0x20000] ^= 0xFF;
    const ImageComparison result = CompareWithImage(memory, image);
    EXPECT_TRUE(result.Equal) << result.FirstMismatch;
    EXPECT_TRUE(result.FirstMismatch.empty());
}

TEST(ImageCompare, ReportsTheFirstDifferenceWithBothValues)
{
    PanelMemory memory({0, 0, 0x0B, 0x20, 0, 0}, 0x8000);
    auto image = MakeImage();
    Install(memory, image);
    image[0x13FFF] = 0x12;
    memory.Flash[0x13FFF] = 0x34;
    EXPECT_EQ(CompareWithImage(memory, image).FirstMismatch, "flash 0x13FFF: panel 0x34, image 0x12");

    Install(memory, image);
    image.back() = 0xAB;
    memory.Eeprom[image.size() - 1 - 0x20000] = 0xCD;
    EXPECT_EQ(CompareWithImage(memory, image).FirstMismatch, "EEPROM 0x074D3: panel 0xCD, image 0xAB");
}

TEST(ImageCompare, ImageWithoutAnEepromPartCannotBeCompared)
{
    const PanelMemory memory({0, 0, 0x0B, 0x20, 0, 0}, 0x8000);
    const ImageComparison result = CompareWithImage(memory, MakeImage(0x24000));
    EXPECT_FALSE(result.Equal);
    EXPECT_EQ(result.FirstMismatch, "the image has no EEPROM part (147456 bytes)");
}

}  // namespace
}  // namespace varnox
