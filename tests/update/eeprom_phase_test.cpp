// The EEPROM phase step by step: the word at 0x2820, and chunk retries.

#include <gtest/gtest.h>

#include "tests/update/simulated_update.h"

namespace varnox::testing {
namespace {

struct WordCase {
    uint16_t stored;
    uint16_t written;
};

class NormalizeWord : public ::testing::TestWithParam<WordCase> {};

TEST_P(NormalizeWord, WritesTheWordBackOrItsReplacement)
{
    PanelConfig config = PanelWith(kIdentity192536);
    config.EepromWord = GetParam().stored;
    SimulatedUpdate run(config);
    ASSERT_TRUE(run.phases.port.Open(1).ok());

    EXPECT_TRUE(EepromPhase(run.phases.run).NormalizeEepromWord().ok());
    const auto& eeprom = run.panel.Memory().Eeprom;
    EXPECT_EQ(eeprom[0x2820] | eeprom[0x2821] << 8, GetParam().written);
    // Written back even when unchanged.
    EXPECT_EQ(run.Addresses(RequestKind::WriteEeprom), (std::vector<uint32_t>{0x2820}));
}

INSTANTIATE_TEST_SUITE_P(Window, NormalizeWord,
                         ::testing::Values(WordCase{0x7FE0, 0x7FE0}, WordCase{0x8030, 0x8030},
                                           WordCase{0x7FDF, 0x8000}, WordCase{0x8031, 0x8000},
                                           WordCase{0x0000, 0x8000}, WordCase{0xFFFF, 0x8000},
                                           // bytes 20 80 at 0x2820, 0x2821: word 0x8020
                                           WordCase{0x8020, 0x8020},
                                           // bytes 80 20: word 0x2080
                                           WordCase{0x2080, 0x8000}));

TEST(EepromPhase, AddressFifteenGetsFF)
{
    SimulatedUpdate run(PanelWith(kIdentity192536));
    ASSERT_TRUE(run.phases.port.Open(1).ok());
    EXPECT_TRUE(EepromPhase(run.phases.run).WriteAddress15().ok());
    EXPECT_EQ(run.panel.Memory().Eeprom[15], 0xFF);
}

TEST(EepromPhase, FirstChunkGoesToWireAddress4000)
{
    SimulatedUpdate run(PanelWith(kIdentity192536));
    run.phases.run.Image.SelectFirmwareImage("FWKA1AVRXGAA0I_2x04");
    ASSERT_TRUE(run.phases.port.Open(1).ok());
    ASSERT_TRUE(EepromPhase(run.phases.run).DownloadEeprom().ok());
    const auto chunks = run.Addresses(RequestKind::WriteEeprom, 20);
    ASSERT_EQ(chunks.size(), 2254u);
    EXPECT_EQ(chunks[0], 0x4000u);
    EXPECT_EQ(chunks[1], 0x4014u);
    for (uint32_t a = 0x4000; a < 0x4014; ++a)
        EXPECT_EQ(run.panel.Memory().Eeprom[a], run.phases.run.Image.ImageBuffer[0x20000 + a]);
    EXPECT_EQ(run.window.gauge_maximum, 0x2F017 - 0x24000);
    EXPECT_EQ(run.window.gauge_progress, 0x2F004 - 0x24000);
}

TEST(EepromPhase, ChunkFailingFiveTimesThenSucceedingGoesOn)
{
    SimulatedUpdate run(
        PanelWith(kIdentity160980, {Fault(PanelFaultType::NoAnswer, RequestKind::WriteEeprom, 7 + 3, 5)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.window.error_counter, "5");
    EXPECT_EQ(run.opener.Opens(), 1);  // the port is kept through the failures
    const auto chunks = run.Addresses(RequestKind::WriteEeprom, 20);
    EXPECT_EQ(chunks.size(), 677u + 5u);
    // The same chunk, six times in a row.
    for (int i = 7; i < 13; ++i)
        EXPECT_EQ(chunks[static_cast<std::size_t>(i)], 0x4000u + 7 * 20);
    // A failed write waits for its answer 1310 ms in all, on the port still open.
    int long_waits = 0;
    for (const auto& pause : run.clock.pauses) {
        long_waits += pause.milliseconds == 1000;
        if (pause.milliseconds == 1000) {
            EXPECT_TRUE(pause.port_open);
        }
    }
    EXPECT_EQ(long_waits, 5);
}

TEST(EepromPhase, FailuresOfSeveralChunksAddUpAndTheBadDataReplyIsRetried)
{
    SimulatedUpdate run(
        PanelWith(kIdentity160980, {Fault(PanelFaultType::NoAnswer, RequestKind::WriteEeprom, 5, 2),
                                    Fault(PanelFaultType::BadCobs, RequestKind::WriteEeprom, 40, 3)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.window.error_counter, "5");
    EXPECT_EQ(run.window.address, "29904");
}

TEST(EepromPhase, DownloadWithoutAnImageIsAFailure)
{
    SimulatedUpdate run;
    ASSERT_TRUE(run.phases.port.Open(1).ok());
    EXPECT_EQ(EepromPhase(run.phases.run).DownloadEeprom().kind, StepFailure::NoImagePart);
    EXPECT_EQ(run.Count(RequestKind::WriteEeprom), 0u);
}

// The requests leave the port as it is; after a failed exchange the engine
// keeps it open and drops the leftover bytes of the broken reply.
TEST(EepromPhase, AFailedRequestKeepsThePortAndCarriesItsText)
{
    SimulatedUpdate run(PanelWith(kIdentity192536, {Fault(PanelFaultType::BadCobs, RequestKind::WriteEeprom, 1)}));
    ASSERT_TRUE(run.phases.port.Open(1).ok());
    const StepResult word = EepromPhase(run.phases.run).NormalizeEepromWord();
    EXPECT_EQ(word.kind, StepFailure::LinkFailed);
    EXPECT_EQ(word.text, kBadDataText);
    EXPECT_TRUE(run.phases.port.IsOpen());
    EXPECT_EQ(run.phases.port.Serial().BytesWaiting(), 0);
    EXPECT_EQ(run.opener.Opens(), 1);
}

}  // namespace
}  // namespace varnox::testing
