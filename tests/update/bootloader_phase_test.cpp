// The loader's byte protocol on a scripted line: exact bytes and exact waits.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "firmware/catalogue.h"
#include "tests/support/phase_run.h"
#include "tests/support/recording_window.h"
#include "tests/support/scripted_device.h"

namespace varnox::testing {
namespace {

uint8_t Sum(const std::vector<uint8_t>& bytes, std::size_t from = 0)
{
    return static_cast<uint8_t>(std::accumulate(bytes.begin() + static_cast<long>(from), bytes.end(), 0u));
}

bool AllZero(const std::vector<uint8_t>& bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

// A loader that answers everything as it should.
Reply GoodLoader(const std::vector<uint8_t>& written)
{
    if (written.size() == 7)
        return At(0.006, {0x06, 0xB7, 0x01, 0x02, 0x03, 0x04});
    if (written.size() == 66) {
        const bool closing = written[0] == 0 && written[1] == 0;
        return At(0.005, {closing ? Sum(written, 2) : Sum(written)});
    }
    if (written.size() == 132 && !AllZero(written))
        return At(0.02, {0x00, 0x00, 0x00, Sum(written)});
    return Never();
}

class LoaderLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        phases.run.Image.SelectFirmwareImage("FWKAELVRXGAA0I_2x04");
        ASSERT_TRUE(phases.port.Open(1).ok());
    }
    std::vector<ReceivedWrite> WritesOf(std::size_t length) const
    {
        std::vector<ReceivedWrite> found;
        for (const auto& w : line.Writes())
            if (w.bytes.size() == length)
                found.push_back(w);
        return found;
    }

    SimClock clock;
    ScriptedLine line{clock};
    ScriptedOpener opener{line};
    RecordingWindow window;
    PhaseRun phases{opener, clock, window};
    LoaderPhase loader{phases.run};
};

TEST_F(LoaderLine, WholePhaseSendsTheSpecifiedPackets)
{
    line.SetResponder(GoodLoader);
    EXPECT_EQ(loader.Run(), UpdateEnding::Completed);

    const auto writes = line.Writes();
    ASSERT_EQ(writes.size(), 4u + 25u + 528u + 1u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(writes[static_cast<std::size_t>(i)].bytes,
                  (std::vector<uint8_t>{0x06, 0x48, 0x01, 0x01, 0x01, 0x52, 0x00}));

    const auto kernel = MicroKernelImage();
    std::vector<uint8_t> first = {0x04, 0x00};
    first.insert(first.end(), kernel.begin() + 0x400, kernel.begin() + 0x440);
    EXPECT_EQ(writes[4].bytes, first);
    std::vector<uint8_t> last = {0x09, 0xC0};
    last.insert(last.end(), kernel.begin() + 0x9C0, kernel.begin() + 0xA00);
    EXPECT_EQ(writes[27].bytes, last);
    // The closing packet: address 0 and the last data again (zeros here).
    EXPECT_EQ(writes[28].bytes, std::vector<uint8_t>(66, 0));
    EXPECT_NEAR(writes[28].time - writes[27].time, 0.005 + 0.050, 1e-6);

    // The erase wait runs from the closing packet's acknowledgement.
    EXPECT_NEAR(writes[29].time - writes[28].time, 0.005 + 8.0, 1e-6);
    EXPECT_EQ(std::vector<uint8_t>(writes[29].bytes.begin(), writes[29].bytes.begin() + 4),
              (std::vector<uint8_t>{0x00, 0x00, 0x24, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(writes[45].bytes.begin(), writes[45].bytes.begin() + 4),
              (std::vector<uint8_t>{0x00, 0x00, 0x40, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(writes[556].bytes.begin(), writes[556].bytes.begin() + 4),
              (std::vector<uint8_t>{0x00, 0x01, 0x3F, 0x80}));
    // The end packet, once, then the restart wait.
    EXPECT_EQ(writes.back().bytes, std::vector<uint8_t>(132, 0));
    EXPECT_NEAR(clock.Now() - writes.back().time, 8.0, 1e-6);
    EXPECT_EQ(window.flash_address, "81792");
    EXPECT_FALSE(window.button_enabled);
}

TEST_F(LoaderLine, HandshakeTakesSixBytesOfALongerReply)
{
    line.ReplyToNextWrite(At(0.010, {0x06, 0xB7, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(loader.BootHandshake().ok());
    EXPECT_EQ(line.Waiting(), 1);
}

TEST_F(LoaderLine, HandshakeReplyAtTheLimitIsInTimeAndOneMillisecondLaterIsNot)
{
    // 50 ms pause, then 0.2 s.
    line.ReplyToNextWrite(At(0.250, {0x06, 0xB7, 1, 2, 3, 4}));
    EXPECT_TRUE(loader.BootHandshake().ok());

    line.ReplyToNextWrite(At(0.252, {0x06, 0xB7, 1, 2, 3, 4}));
    const double start = clock.Now();
    EXPECT_TRUE(loader.BootHandshake().failed());
    EXPECT_NEAR(clock.Now() - start, 0.251, 1e-6);
}

TEST_F(LoaderLine, HandshakeWithWrongSecondByteFails)
{
    line.ReplyToNextWrite(At(0.010, {0x06, 0x48, 1, 2, 3, 4}));
    EXPECT_TRUE(loader.BootHandshake().failed());
}

TEST_F(LoaderLine, KernelAcknowledgementWithAnotherByteRunsIntoTheTimeout)
{
    line.ReplyToNextWrite(At(0.005, {0x04, 0x04}));  // a double acknowledgement
    line.SetResponder(GoodLoader);
    EXPECT_TRUE(loader.DownloadMicroKernel().ok());

    const auto packets = WritesOf(66);
    ASSERT_EQ(packets.size(), 26u);
    EXPECT_EQ(packets[1].bytes, packets[0].bytes);
    EXPECT_NEAR(packets[1].time - packets[0].time, 0.201, 1e-6);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(LoaderLine, FlashPacketUnansweredFourTimesShowsTheBox)
{
    for (int i = 0; i < 4; ++i)
        line.ReplyToNextWrite(Never());
    EXPECT_EQ(loader.WriteFlash().kind, StepFailure::NotAcknowledged);

    const auto packets = WritesOf(132);
    ASSERT_EQ(packets.size(), 4u);
    for (std::size_t i = 1; i < packets.size(); ++i)
        EXPECT_NEAR(packets[i].time - packets[i - 1].time, 0.801, 1e-6);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].Text, "ATTENZIONE: errore irreversibile di programmazione firmware");
    EXPECT_EQ(window.flash_address, "");
}

TEST_F(LoaderLine, FlashReplyIsJudgedOnItsFirstFourBytes)
{
    line.SetResponder([](const std::vector<uint8_t>& written) {
        return At(0.02, {0x00, 0x00, 0x00, Sum(written), 0x77});
    });
    EXPECT_TRUE(loader.WriteFlash().ok());
    EXPECT_EQ(WritesOf(132).size(), 528u);
}

}  // namespace
}  // namespace varnox::testing
