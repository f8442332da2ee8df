// Every way an update can end: log, boxes, gauge, port and button.

#include <gtest/gtest.h>

#include "tests/update/simulated_update.h"

namespace varnox::testing {
namespace {

using Lines = std::vector<std::string>;

Lines Concat(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kName = "FWKA1AVRXGAA0I_2x04";
const Lines kEepromFailedLines = {"", "Error Writing EEPROM memory", "programming END"};
const Lines kBootloaderStart = {"DOWNLOADING microKernel", "PLEASE WAIT..."};
const Lines kHandshakeFailedLines = {
    "", "ATTENZIONE: la centrale non entra in programmazione; firmware non aggiornato",
    "WARNING: the panel did not enter its loader; the firmware was not updated"};

TEST(EarlyEndings, NoPanelOnThePort)
{
    SimulatedUpdate run;
    run.engine.SelectedPort = 2;  // nothing there
    run.window.log = {"start-up text"};

    EXPECT_EQ(run.engine.Run(), UpdateEnding::IdentityReadFailed);
    EXPECT_EQ(run.window.log, (Lines{"", "Errore Lettura da centrale : No Answer", ""}));
    ASSERT_EQ(run.window.boxes.size(), 1u);
    EXPECT_EQ(run.window.boxes[0].Icon, BoxIcon::Error);
    EXPECT_EQ(run.window.boxes[0].Title, "Error");
    EXPECT_EQ(run.window.boxes[0].Text, "Impossibile accedere alla porta seriale");
    EXPECT_TRUE(run.window.gauge_visible);
    EXPECT_EQ(run.window.gauge_progress, 0);
    EXPECT_EQ(run.window.gauge_maximum, 1500);
    EXPECT_TRUE(run.window.button_enabled);
    EXPECT_FALSE(run.engine.PortIsOpen());
}

TEST(EarlyEndings, PanelThatDoesNotAnswerShowsTheLinkError)
{
    SimulatedUpdate run(PanelWith(kIdentity192536, {Fault(PanelFaultType::BadCrc, RequestKind::ReadMemory, 1)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::IdentityReadFailed);
    EXPECT_EQ(run.window.log, (Lines{"", "Errore Lettura da centrale : BAD CKSUM", ""}));
    EXPECT_TRUE(run.window.boxes.empty());
    EXPECT_FALSE(run.engine.PortIsOpen());
}

TEST(EarlyEndings, Release33IsRefusedBeforeAnythingIsWritten)
{
    SimulatedUpdate run(PanelWith({0x00, 0x00, 0x0B, 0x21, 0x00, 0x00}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::ReleaseRejected);
    EXPECT_EQ(run.window.log,
              (Lines{"", "ERRORE : La versione della centrale è successiva al presente aggiornamento", "",
                     "ERROR : Panel release earlier than this patch", ""}));
    EXPECT_EQ(run.panel.Requests().size(), 1u);
    EXPECT_TRUE(run.window.gauge_visible);
    EXPECT_TRUE(run.window.button_enabled);
    EXPECT_FALSE(run.engine.PortIsOpen());
}

TEST(EarlyEndings, NameNotInTheCatalogueWaitsThreeSecondsWithThePortOpen)
{
    SimulatedUpdate run(PanelWith({0x00, 0x00, 0x1A, 0x05, 0x00, 0x04}));  // FWKE4AVRXSAA0I_2x04
    run.window.panel_type = "FWKA1AVRXGAA0I_2x04";
    const double start = run.sim_clock.Now();

    EXPECT_EQ(run.engine.Run(), UpdateEnding::NoFirmware);
    EXPECT_EQ(run.window.log,
              (Lines{"", "ERROR : Firmware Version NOT Available", "", "ERRORe : Versione NON Disponibile"}));
    ASSERT_FALSE(run.clock.pauses.empty());
    EXPECT_EQ(run.clock.pauses.back().milliseconds, 3000);
    EXPECT_TRUE(run.clock.pauses.back().port_open);
    EXPECT_GE(run.sim_clock.Now() - start, 3.25);  // the read, then the wait
    EXPECT_FALSE(run.engine.PortIsOpen());
    EXPECT_EQ(run.window.panel_type, "FWKA1AVRXGAA0I_2x04");
    EXPECT_EQ(run.panel.Requests().size(), 1u);
    EXPECT_TRUE(run.window.gauge_visible);
    EXPECT_TRUE(run.window.button_enabled);
}

void ExpectEepromFailureShown(SimulatedUpdate& run)
{
    EXPECT_EQ(run.window.log, Concat(OpeningLines(kName), kEepromFailedLines));
    EXPECT_TRUE(run.window.boxes.empty());
    EXPECT_FALSE(run.window.button_enabled);
    EXPECT_FALSE(run.window.gauge_visible);
    EXPECT_FALSE(run.engine.PortIsOpen());
    EXPECT_EQ(run.Count(RequestKind::Handshake), 0u);
}

TEST(EepromEndings, FailedWordReadWritesNothing)
{
    SimulatedUpdate run(PanelWith(kIdentity192536, {Fault(PanelFaultType::NoAnswer, RequestKind::ReadEeprom, 1)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::EepromFailed);
    ExpectEepromFailureShown(run);
    EXPECT_EQ(run.Count(RequestKind::WriteEeprom), 0u);
    EXPECT_EQ(run.window.panel_type, kName);
}

TEST(EepromEndings, FailedAddress15WriteStopsBeforeTheDownload)
{
    SimulatedUpdate run(PanelWith(kIdentity192536, {Fault(PanelFaultType::BadCrc, RequestKind::WriteEeprom, 2)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::EepromFailed);
    ExpectEepromFailureShown(run);
    EXPECT_EQ(run.Count(RequestKind::WriteEeprom), 2u);
}

TEST(EepromEndings, ChunkFailingSixTimesEndsTheDownload)
{
    // WriteEeprom 1 and 2 are the word and address 15; chunk k is request k + 3.
    SimulatedUpdate run(
        PanelWith(kIdentity192536, {Fault(PanelFaultType::NoAnswer, RequestKind::WriteEeprom, 10 + 3, 6)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::EepromFailed);
    ExpectEepromFailureShown(run);
    EXPECT_EQ(run.window.address, std::to_string(0x4000 + 9 * 20));  // the chunk before
    EXPECT_EQ(run.window.error_counter, "6");
    EXPECT_EQ(run.opener.Opens(), 1);  // kept through every failed attempt
    EXPECT_EQ(run.Addresses(RequestKind::WriteEeprom, 20).size(), 10u + 6u);
}

TEST(BootloaderEndings, FirstHandshakeFailingSendsNoSecond)
{
    SimulatedUpdate run(PanelWith(kIdentity192536, {Fault(PanelFaultType::WrongAck, RequestKind::Handshake, 1)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::HandshakeFailed);
    EXPECT_EQ(run.window.log, Concat(Concat(OpeningLines(kName), kBootloaderStart), kHandshakeFailedLines));
    EXPECT_EQ(run.Count(RequestKind::Handshake), 1u);
    EXPECT_TRUE(run.window.boxes.empty());
    EXPECT_TRUE(run.window.button_enabled);
    EXPECT_FALSE(run.window.gauge_visible);
    EXPECT_FALSE(run.engine.PortIsOpen());
}

TEST(BootloaderEndings, FourthHandshakeAnswerIsIgnored)
{
    SimulatedUpdate run(PanelWith(kIdentity160980, {Fault(PanelFaultType::NoAnswer, RequestKind::Handshake, 4)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.Count(RequestKind::Handshake), 4u);
}

TEST(BootloaderEndings, MicroKernelAckWrongFourTimes)
{
    SimulatedUpdate run(
        PanelWith(kIdentity192536, {Fault(PanelFaultType::WrongAck, RequestKind::MicroKernel, 1, 4)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::MicroKernelFailed);
    EXPECT_EQ(run.window.log, Concat(OpeningLines(kName), kBootloaderStart));
    ASSERT_EQ(run.window.boxes.size(), 1u);
    EXPECT_EQ(run.window.boxes[0].Icon, BoxIcon::None);
    EXPECT_EQ(run.window.boxes[0].Title, "varnox-patch");
    EXPECT_EQ(run.window.boxes[0].Text,
              "ATTENZIONE: errore di programmazione firmware; la versione non è stata aggiornata");
    EXPECT_EQ(run.Count(RequestKind::MicroKernel), 4u);
    EXPECT_TRUE(run.window.button_enabled);
    EXPECT_FALSE(run.window.gauge_visible);
    EXPECT_FALSE(run.engine.PortIsOpen());
}

TEST(BootloaderEndings, ClosingPacketFailingShowsTheSameBox)
{
    SimulatedUpdate run(PanelWith(kIdentity192536, {Fault(PanelFaultType::NoAnswer, RequestKind::Closing, 1, 4)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::MicroKernelFailed);
    ASSERT_EQ(run.window.boxes.size(), 1u);
    EXPECT_EQ(run.window.boxes[0].Text,
              "ATTENZIONE: errore di programmazione firmware; la versione non è stata aggiornata");
    // The panel starts erasing on the closing packet and ignores the retries.
    EXPECT_GE(run.Count(RequestKind::Closing), 1u);
    EXPECT_EQ(run.Count(RequestKind::Flash), 0u);
}

TEST(BootloaderEndings, FlashBlockFailingFourTimes)
{
    // Flash packet 17 is the first of the upper range, 0x4000.
    SimulatedUpdate run(PanelWith(kIdentity192536, {Fault(PanelFaultType::NoAnswer, RequestKind::Flash, 17, 4)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::FlashFailed);
    EXPECT_EQ(run.window.log, Concat(Concat(OpeningLines(kName), kBootloaderStart),
                                     {"ERASING FLASH...", "Writing Flash ", "PLEASE WAIT..."}));
    ASSERT_EQ(run.window.boxes.size(), 1u);
    EXPECT_EQ(run.window.boxes[0].Icon, BoxIcon::None);
    EXPECT_EQ(run.window.boxes[0].Title, "varnox-patch");
    EXPECT_EQ(run.window.boxes[0].Text, "ATTENZIONE: errore irreversibile di programmazione firmware");
    EXPECT_EQ(run.window.flash_address, std::to_string(0x2B80));
    EXPECT_EQ(run.Count(RequestKind::Flash), 16u + 4u);
    EXPECT_EQ(run.Count(RequestKind::End), 0u);
    EXPECT_TRUE(run.window.button_enabled);
    EXPECT_FALSE(run.window.gauge_visible);
    EXPECT_FALSE(run.engine.PortIsOpen());
}

// After a reply with a wrong sum, the next attempts still expect the block's
// own sum, so a panel that answers correctly on a retry is accepted.
TEST(BootloaderEndings, FlashRetryAfterWrongSumIsJudgedOnTheComputedSum)
{
    SimulatedUpdate run(PanelWith(kIdentity160980, {Fault(PanelFaultType::WrongAck, RequestKind::Flash, 5, 3)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.Count(RequestKind::Flash), 528u + 3u);
    EXPECT_TRUE(run.window.boxes.empty());
    EXPECT_EQ(run.window.log, CompletedLog("FWKAELVRXGAA0I_2x04"));
}

// A flash reply with a stray byte after it, or sent twice, reaches the tool
// as one burst (a UART FIFO or USB adapter hands it over in one piece): the
// first four bytes are judged and the rest goes with the next flush, so the
// following blocks see only their own replies.
TEST(BootloaderEndings, FlashReplyTailsGoWithTheNextFlush)
{
    for (const PanelFaultType type : {PanelFaultType::ExtraByte, PanelFaultType::DoubleAck}) {
        SimulatedUpdate run(PanelWith(kIdentity160980, {Fault(type, RequestKind::Flash, 20, 3)}));
        EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed) << static_cast<int>(type);
        EXPECT_EQ(run.Count(RequestKind::Flash), 528u) << static_cast<int>(type);
        EXPECT_TRUE(run.window.boxes.empty());
    }
}

TEST(BootloaderEndings, FailedRunLeavesTheButtonForANewRun)
{
    SimulatedUpdate run(PanelWith(kIdentity160980, {Fault(PanelFaultType::WrongAck, RequestKind::Handshake, 1)}));
    ASSERT_EQ(run.engine.Run(), UpdateEnding::HandshakeFailed);
    // The panel, still in its loader after a good second handshake, is a new
    // run's business; the engine starts again from the identity read.
    run.panel.PowerCycle(run.sim_clock.Now());
    run.sim_clock.Advance(run.panel.Config().Timing.RestartTime);
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.window.log_clears, 2);
    EXPECT_EQ(run.window.log, CompletedLog("FWKAELVRXGAA0I_2x04"));
}

}  // namespace
}  // namespace varnox::testing
