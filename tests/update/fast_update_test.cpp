// Whole updates in fast mode and with the EEPROM read-back, against the
// simulated panel in simulated time.

#include <gtest/gtest.h>

#include "bench/wait_floor.h"
#include "sim/image_compare.h"
#include "tests/update/simulated_update.h"

namespace varnox::testing {
namespace {

constexpr const char* kSmallest = "FWKAELVRXGAA0I_2x04";
constexpr std::size_t kSmallestChunks = 677;

// A panel that answers at once but for its EEPROM write time.
PanelConfig PromptPanel(IdentityBytes identity, std::vector<PanelFault> faults = {})
{
    PanelConfig config = PanelWith(identity, std::move(faults));
    config.Timing.ReadDelay = config.Timing.WriteDelay = config.Timing.HandshakeDelay = 0;
    config.Timing.MicroKernelDelay = config.Timing.FlashDelay = 0;
    return config;
}

// The completed log with the read-back's lines after the EEPROM phase's opening.
std::vector<std::string> VerifiedLog(const std::string& name, const std::vector<std::string>& readback)
{
    return WithReadBack(CompletedLog(name), readback);
}

void ExpectPanelHoldsTheImage(const SimulatedUpdate& run)
{
    const WorkingImage& image = run.engine.LastImage();
    const ImageComparison comparison =
        CompareWithImage(run.panel.Memory(), {image.ImageBuffer.data(), image.ImageEnd + 1});
    EXPECT_TRUE(comparison.Equal) << comparison.FirstMismatch;
}

struct ModeRun : SimulatedUpdate {
    ModeRun(PanelConfig config, bool fast, bool verify = false) : SimulatedUpdate(std::move(config))
    {
        engine.Options.Fast = fast;
        engine.Options.VerifyEeprom = verify;
        start = sim_clock.Now();
        ending = engine.Run();
    }
    double Elapsed() const { return const_cast<SimClock&>(sim_clock).Now() - start; }

    double start = 0;
    UpdateEnding ending = UpdateEnding::NotRun;
};

TEST(FastUpdate, LargestImageCompletesNearItsFloor)
{
    const ModeRun run(PromptPanel(kIdentity192536), true);
    ASSERT_EQ(run.ending, UpdateEnding::Completed);
    ExpectPanelHoldsTheImage(run);
    EXPECT_EQ(run.window.log, VerifiedLog("FWKA1AVRXGAA0I_2x04", {"VERIFYING EEPROM MEMORY", "EEPROM VERIFIED"}));
    EXPECT_EQ(run.window.error_counter, "");
    EXPECT_EQ(run.panel.IgnoredWhileWriting(), 0u) << "a request sent into the panel's store";
    // The word read, then 187 reads of 240 bytes and one of 200.
    EXPECT_EQ(run.Count(RequestKind::ReadEeprom), 1u + 188u);
    EXPECT_EQ(run.Addresses(RequestKind::ReadEeprom, 200), std::vector<uint32_t>{0x4000 + 187 * 240});

    const PanelTiming timing;
    const double floor = FastFloorSeconds(timing.ByteTime, timing.EepromWriteTime);
    EXPECT_GE(run.Elapsed(), floor);
    EXPECT_LE(run.Elapsed(), floor * 1.03) << "floor " << floor;
}

TEST(FastUpdate, OneByteTooManyIsBadDataAndTheChunkIsWrittenAgain)
{
    const ModeRun run(
        PromptPanel(kIdentity160980, {Fault(PanelFaultType::ExtraByte, RequestKind::WriteEeprom, 10)}), true);
    EXPECT_EQ(run.ending, UpdateEnding::Completed);
    EXPECT_EQ(run.window.error_counter, "1");
    EXPECT_EQ(run.Count(RequestKind::WriteEeprom), kSmallestChunks + 3);
    ExpectPanelHoldsTheImage(run);
}

TEST(FastUpdate, RequestSentIntoTheStoreIsLostAndTheLatestLookCatchesIt)
{
    // The 10th write is acknowledged before its store, so the tool's next chunk
    // lands in it, is ignored whole, and fails at the 210 ms look.
    const ModeRun run(
        PromptPanel(kIdentity160980, {Fault(PanelFaultType::EarlyAck, RequestKind::WriteEeprom, 10)}), true);
    EXPECT_EQ(run.ending, UpdateEnding::Completed);
    EXPECT_EQ(run.panel.IgnoredWhileWriting(), 1u);
    EXPECT_EQ(run.window.error_counter, "1");
    const auto& pauses = run.clock.pauses;
    EXPECT_EQ(std::count_if(pauses.begin(), pauses.end(), [](const auto& p) { return p.milliseconds == 1000; }),
              1);
    ExpectPanelHoldsTheImage(run);

    // After the word write nothing retries: the address-15 write fails the phase.
    const ModeRun early(
        PromptPanel(kIdentity160980, {Fault(PanelFaultType::EarlyAck, RequestKind::WriteEeprom, 1)}), true);
    EXPECT_EQ(early.ending, UpdateEnding::EepromFailed);
    std::vector<std::string> log = OpeningLines(kSmallest);
    log.insert(log.end(), {"", "Error Writing EEPROM memory", "programming END"});
    EXPECT_EQ(early.window.log, log);
}

// ------------------------------------------------------------------ read-back

TEST(EepromReadBack, StoredWrongIsFoundAndWrittenAgain)
{
    // The 40th write is the 38th chunk, EEPROM 0x4000 + 37 * 20.
    const ModeRun run(
        PromptPanel(kIdentity160980, {Fault(PanelFaultType::StoreWrong, RequestKind::WriteEeprom, 40)}), true);
    ASSERT_EQ(run.ending, UpdateEnding::Completed);
    ExpectPanelHoldsTheImage(run);
    EXPECT_EQ(run.window.log, VerifiedLog(kSmallest, {"VERIFYING EEPROM MEMORY", "EEPROM chunks written again: 1",
                                                      "EEPROM VERIFIED"}));
    const auto chunks = run.Addresses(RequestKind::WriteEeprom, 20);
    ASSERT_EQ(chunks.size(), kSmallestChunks + 1);
    EXPECT_EQ(chunks.back(), 0x4000u + 37 * 20);
    EXPECT_EQ(run.Addresses(RequestKind::ReadEeprom, 20), std::vector<uint32_t>{0x4000 + 37 * 20});
    EXPECT_EQ(run.window.error_counter, "");
}

TEST(EepromReadBack, DifferenceThatStaysFailsThePhaseNamingItsAddress)
{
    // The first write of the chunk and all six of its rewrites stored wrong.
    const ModeRun run(
        PromptPanel(kIdentity160980,
                    {Fault(PanelFaultType::StoreWrong, RequestKind::WriteEeprom, 40),
                     Fault(PanelFaultType::StoreWrong, RequestKind::WriteEeprom, kSmallestChunks + 3, 6)}),
        true);
    EXPECT_EQ(run.ending, UpdateEnding::EepromFailed);
    std::vector<std::string> log = OpeningLines(kSmallest);
    log.insert(log.end(), {"VERIFYING EEPROM MEMORY", "Error Verifying EEPROM memory at address 17143", "",
                           "Error Writing EEPROM memory", "programming END"});
    EXPECT_EQ(run.window.log, log);
    EXPECT_EQ(run.window.error_counter, "6");
    EXPECT_FALSE(run.window.button_enabled);
    EXPECT_EQ(run.Count(RequestKind::Handshake), 0u);
}

TEST(EepromReadBack, UnansweredReadIsRetried)
{
    const ModeRun run(PromptPanel(kIdentity160980, {Fault(PanelFaultType::NoAnswer, RequestKind::ReadEeprom, 3)}),
                      true);
    EXPECT_EQ(run.ending, UpdateEnding::Completed);
    EXPECT_EQ(run.window.error_counter, "1");
    EXPECT_EQ(run.Count(RequestKind::ReadEeprom), 1u + 57u + 1u);
}

TEST(EepromReadBack, VerifyInTheDefaultModeKeepsItsDownloadAndAddsTheReadBack)
{
    const ModeRun plain(PanelWith(kIdentity160980), false);
    const ModeRun verified(PanelWith(kIdentity160980), false, true);
    ASSERT_EQ(verified.ending, UpdateEnding::Completed);
    EXPECT_EQ(verified.window.log, VerifiedLog(kSmallest, {"VERIFYING EEPROM MEMORY", "EEPROM VERIFIED"}));

    // The same requests at the same moments up to the last chunk.
    const std::size_t download = 2 + 2 + kSmallestChunks;
    const auto& a = plain.panel.Requests();
    const auto& b = verified.panel.Requests();
    ASSERT_GT(b.size(), download + 57);
    for (std::size_t i = 0; i < download; ++i) {
        EXPECT_EQ(a[i].Kind, b[i].Kind) << i;
        EXPECT_EQ(a[i].Address, b[i].Address) << i;
        EXPECT_DOUBLE_EQ(a[i].Time, b[i].Time) << i;
    }
    // Then 57 reads (13540 bytes), each sent as the fixed 250 ms look of the one before ends.
    for (std::size_t i = download; i < download + 57; ++i) {
        EXPECT_EQ(b[i].Kind, RequestKind::ReadEeprom);
        EXPECT_EQ(b[i].Address, 0x4000u + (i - download) * 240);
        if (i > download) {
            EXPECT_NEAR(b[i].Time - b[i - 1].Time, 0.250, 1e-9);
        }
    }
    EXPECT_EQ(b[download + 56].Count, 13540 - 56 * 240);
    EXPECT_EQ(b[download + 57].Kind, RequestKind::Handshake);
}

}  // namespace
}  // namespace varnox::testing
