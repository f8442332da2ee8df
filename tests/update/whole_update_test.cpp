// Whole updates against the simulated panel, one image of each size.

#include <gtest/gtest.h>

#include "firmware/catalogue.h"
#include "sim/image_compare.h"
#include "tests/update/simulated_update.h"

namespace varnox::testing {
namespace {

struct ImageCase {
    IdentityBytes identity;
    const char* name;
    std::size_t chunks;
    const char* last_address;
    uint32_t last_chunk_wire;
};

class WholeUpdate : public ::testing::TestWithParam<ImageCase> {};

std::vector<uint32_t> ExpectedFlashAddresses()
{
    std::vector<uint32_t> addresses;
    for (uint32_t a = 0x2400; a <= 0x2B80; a += 128)
        addresses.push_back(a);
    for (uint32_t a = 0x4000; a <= 0x13F80; a += 128)
        addresses.push_back(a);
    return addresses;
}

TEST_P(WholeUpdate, WritesTheImageAndEndsCompleted)
{
    const ImageCase& c = GetParam();
    SimulatedUpdate run(PanelWith(c.identity));

    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);

    // What the panel holds.
    const WorkingImage& image = run.engine.LastImage();
    const ImageComparison comparison =
        CompareWithImage(run.panel.Memory(), {image.ImageBuffer.data(), image.ImageEnd + 1});
    EXPECT_TRUE(comparison.Equal) << comparison.FirstMismatch;
    // The last chunk is sent whole; past ImageEnd it carries the buffer's zeros.
    const uint32_t eeprom_end = image.ImageEnd - 0x20000;
    for (uint32_t a = eeprom_end + 1; a < c.last_chunk_wire + 20; ++a)
        EXPECT_EQ(run.panel.Memory().Eeprom[a], 0) << "EEPROM " << a;

    // What was sent.
    const auto chunks = run.Addresses(RequestKind::WriteEeprom, 20);
    ASSERT_EQ(chunks.size(), c.chunks);
    EXPECT_EQ(chunks.front(), 0x4000u);
    EXPECT_EQ(chunks.back(), c.last_chunk_wire);
    // The identity, before the update and after the restart.
    EXPECT_EQ(run.Count(RequestKind::ReadMemory), 2u);
    EXPECT_EQ(run.Count(RequestKind::ReadEeprom), 1u);
    EXPECT_EQ(run.Count(RequestKind::WriteEeprom), c.chunks + 2);
    EXPECT_EQ(run.Count(RequestKind::Handshake), 4u);
    EXPECT_EQ(run.Count(RequestKind::MicroKernel), 24u);
    EXPECT_EQ(run.Count(RequestKind::Closing), 1u);
    EXPECT_EQ(run.Addresses(RequestKind::Flash), ExpectedFlashAddresses());
    EXPECT_EQ(run.Count(RequestKind::End), 1u);

    // What the window shows.
    EXPECT_EQ(run.window.log, CompletedLog(c.name));
    EXPECT_TRUE(run.window.boxes.empty());
    EXPECT_EQ(run.window.panel_type, c.name);
    EXPECT_EQ(run.window.address, c.last_address);
    EXPECT_EQ(run.window.flash_address, "81792");
    EXPECT_EQ(run.window.error_counter, "");
    EXPECT_FALSE(run.window.button_enabled);
    EXPECT_FALSE(run.window.gauge_visible);
    EXPECT_EQ(run.window.gauge_maximum, 81919);
    EXPECT_FALSE(run.engine.PortIsOpen());
    EXPECT_EQ(run.engine.LastEnding.load(), UpdateEnding::Completed);
    EXPECT_EQ(run.engine.LastVerification.load(), Verification::Verified);
    EXPECT_EQ(run.engine.LastExitStatus.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    FourSizes, WholeUpdate,
    ::testing::Values(ImageCase{kIdentity192536, "FWKA1AVRXGAA0I_2x04", 2254, "61444", 0xF004},
                      ImageCase{kIdentity188028, "FWKA1DVRXGAA0I_2x04", 2029, "56944", 0xDE70},
                      ImageCase{kIdentity169996, "FWKA1EVRXGAA0I_2x04", 1127, "38904", 0x97F8},
                      ImageCase{kIdentity160980, "FWKAELVRXGAA0I_2x04", 677, "29904", 0x74D0}));

TEST(WholeUpdateWaits, PausesAreTheSpecifiedOnes)
{
    SimulatedUpdate run(PanelWith(kIdentity160980));
    ASSERT_EQ(run.engine.Run(), UpdateEnding::Completed);

    // The engine's own pauses beyond the request waits: 50 ms after each of the
    // 4 handshakes, 50 ms before the closing packet, then erase and restart.
    std::vector<int> long_pauses;
    int handshake_pauses = 0;
    for (const auto& pause : run.clock.pauses) {
        if (pause.milliseconds >= 1000)
            long_pauses.push_back(pause.milliseconds);
        if (pause.milliseconds == 50)
            ++handshake_pauses;
    }
    EXPECT_EQ(long_pauses, (std::vector<int>{8000, 8000}));
    EXPECT_EQ(handshake_pauses, 5);
}

}  // namespace
}  // namespace varnox::testing
