// An adapter that drops out mid-update, on simulated time: the engine waits
// for it, re-opens the port and sends the same chunk or packet again within
// its attempts; one that stays away ends the phase as a failed exchange would,
// after one port-error box.

#include <algorithm>

#include <gtest/gtest.h>

#include "sim/image_compare.h"
#include "tests/update/simulated_update.h"
#include "update/update_texts.h"

namespace varnox::testing {
namespace {

constexpr const char* kName = "FWKA1AVRXGAA0I_2x04";

void ExpectImageHeld(SimulatedUpdate& run)
{
    const WorkingImage& image = run.engine.LastImage();
    const ImageComparison comparison =
        CompareWithImage(run.panel.Memory(), {image.ImageBuffer.data(), image.ImageEnd + 1});
    EXPECT_TRUE(comparison.Equal) << comparison.FirstMismatch;
}

std::vector<std::string> WithLineAfter(std::vector<std::string> log, std::size_t after, const std::string& line)
{
    log.insert(log.begin() + static_cast<std::ptrdiff_t>(after), line);
    return log;
}

TEST(Reconnection, AnAdapterBackInTheEepromPhaseCarriesOnWithTheSameChunk)
{
    // WriteEeprom 1 and 2 are the word and address 15; chunk k is request k + 3.
    SimulatedUpdate run(
        PanelWith(kIdentity192536, {Fault(PanelFaultType::PullReturn, RequestKind::WriteEeprom, 40 + 3)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.panel.Dropouts(), 1u);
    EXPECT_EQ(run.opener.Opens(), 2);
    EXPECT_EQ(run.window.log, WithLineAfter(CompletedLog(kName), OpeningLines(kName).size(), kPortReconnected));
    EXPECT_TRUE(run.window.boxes.empty());
    EXPECT_EQ(run.window.error_counter, "1");
    const auto chunks = run.Addresses(RequestKind::WriteEeprom, 20);
    EXPECT_EQ(chunks[40], chunks[41]);
    ExpectImageHeld(run);
}

TEST(Reconnection, AnAdapterBackInTheFlashPhaseCarriesOnWithTheSamePacket)
{
    SimulatedUpdate run(PanelWith(kIdentity192536, {Fault(PanelFaultType::PullReturn, RequestKind::Flash, 100)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.opener.Opens(), 2);
    const std::vector<std::string> completed = CompletedLog(kName);
    const auto flash = std::find(completed.begin(), completed.end(), "Writing Flash ") - completed.begin();
    EXPECT_EQ(run.window.log, WithLineAfter(completed, static_cast<std::size_t>(flash) + 2, kPortReconnected));
    EXPECT_TRUE(run.window.boxes.empty());
    const auto packets = run.Addresses(RequestKind::Flash);
    EXPECT_EQ(packets[99], packets[100]);
    ExpectImageHeld(run);
}

TEST(Reconnection, AnAdapterBackInTheMicroKernelCarriesOn)
{
    SimulatedUpdate run(
        PanelWith(kIdentity192536, {Fault(PanelFaultType::PullReturn, RequestKind::MicroKernel, 5)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.Count(RequestKind::MicroKernel), 25u);
    ExpectImageHeld(run);
}

TEST(Reconnection, AnAdapterThatStaysAwayEndsTheEepromPhaseAfterOneBox)
{
    PanelConfig config =
        PanelWith(kIdentity192536, {Fault(PanelFaultType::PullReturn, RequestKind::WriteEeprom, 10 + 3)});
    config.Timing.AdapterReturn = 60;
    SimulatedUpdate run(config);
    const double start = run.sim_clock.Now();
    EXPECT_EQ(run.engine.Run(), UpdateEnding::EepromFailed);
    ASSERT_EQ(run.window.boxes.size(), 1u);
    EXPECT_EQ(run.window.boxes[0].Text, kPortErrorText);
    EXPECT_EQ(run.window.boxes[0].Detail, "COM1: No such device");
    EXPECT_EQ(run.window.error_counter, "6");
    EXPECT_EQ(run.opener.Opens(), 1);
    // The EEPROM phase of 10 chunks, one wait for the adapter and six failed attempts.
    EXPECT_LT(run.sim_clock.Now() - start, 10 * 0.5 + kAdapterReturnSeconds + 6 * 1.5);
    EXPECT_FALSE(run.engine.PortIsOpen());
}

TEST(Reconnection, AnAdapterGoneForGoodInTheFlashPhaseEndsWithTheFlashBox)
{
    SimulatedUpdate run(PanelWith(kIdentity192536, {Fault(PanelFaultType::Pull, RequestKind::Flash, 100)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::FlashFailed);
    ASSERT_EQ(run.window.boxes.size(), 2u);
    EXPECT_EQ(run.window.boxes[0].Text, kPortErrorText);
    EXPECT_EQ(run.window.boxes[1].Text, kFlashFailedBox);
    EXPECT_EQ(run.Count(RequestKind::Flash), 100u);
}

}  // namespace
}  // namespace varnox::testing
