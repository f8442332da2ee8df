// What the panel answers after the restart that ends an update, driven by the
// real update engine on simulated time: the identity of the firmware it now
// holds, or, with a fault of the restart, its old identity or nothing at all.

#include <gtest/gtest.h>

#include "comm/serial_port.h"
#include "firmware/catalogue.h"
#include "panel_test_support.h"
#include "protocol/memory_requests.h"
#include "sim/sim_device.h"
#include "tests/support/engine_for_tests.h"
#include "tests/support/recording_window.h"
#include "update/update_engine.h"

namespace varnox {
namespace {

using testing::Bytes;

// A panel of family KE: its name selects the KA image, whose own block is 00 00 0B 20 00 00.
constexpr IdentityBytes kKePanel = {0x00, 0x00, 0x0B, 0x20, 0x00, 0x04};
const char* const kImage = "FWKA1AVRXGAA0I_2x04";

class AfterRestart : public ::testing::Test {
protected:
    // A whole update of a KE panel with `faults`, then the restart time.
    void Update(std::vector<PanelFault> faults = {})
    {
        PanelConfig config;
        config.Identity = kKePanel;
        config.Faults = std::move(faults);
        panel = std::make_unique<SimPanel>(config);
        opener = std::make_unique<SimPortOpener>(*panel, clock);
        testing::RecordingWindow window;
        UpdateEngine engine(*opener, clock, window);
        testing::PrepareForTests(engine);
        ASSERT_EQ(engine.Run(), UpdateEnding::Completed);
        ASSERT_TRUE(panel->RestartDoneAt().has_value());
        clock.Advance(*panel->RestartDoneAt() - clock.Now());
    }

    // The identity read as the tool makes it; the link error text when it fails.
    std::string ReadIdentity(Bytes& identity)
    {
        SerialPort port(1);
        MemoryRequests requests(port, clock);
        if (port.Open(*opener).failed())
            return "no port";
        identity.assign(6, 0);
        const LinkResult read = requests.ReadMemory(kPanelIdentityAddress, identity.data(), 6);
        port.Close();
        return read.failed() ? read.text() : "";
    }

    static Bytes ImageIdentity()
    {
        const std::span<const uint8_t> image = CarriedImage(kImage);
        return Bytes(image.begin() + kPanelIdentityAddress, image.begin() + kPanelIdentityAddress + 6);
    }

    SimClock clock;
    std::unique_ptr<SimPanel> panel;
    std::unique_ptr<SimPortOpener> opener;
};

TEST_F(AfterRestart, IdentityReadGivesTheBlockOfTheFlashedImage)
{
    ASSERT_NE(ImageIdentity(), Bytes(kKePanel.begin(), kKePanel.end()));
    Update();
    Bytes identity;
    ASSERT_EQ(ReadIdentity(identity), "");
    EXPECT_EQ(identity, ImageIdentity());
}

TEST_F(AfterRestart, OldIdentityFaultKeepsTheBlockOfBeforeTheUpdate)
{
    Update({{PanelFaultType::OldIdentity, RequestKind::End, 1, 1}});
    Bytes identity;
    ASSERT_EQ(ReadIdentity(identity), "");
    EXPECT_EQ(identity, Bytes(kKePanel.begin(), kKePanel.end()));
    // Only the block: the rest of the flash is the image's.
    const std::span<const uint8_t> image = CarriedImage(kImage);
    EXPECT_TRUE(std::equal(image.begin() + 0x4000, image.begin() + kPanelIdentityAddress,
                           panel->Memory().Flash.begin() + 0x4000));
}

TEST_F(AfterRestart, SilentAfterRestartAnswersNothingUntilPoweredOff)
{
    Update({{PanelFaultType::SilentAfterRestart, RequestKind::End, 1, 1}});
    Bytes identity;
    EXPECT_EQ(ReadIdentity(identity), kNoAnswerText);
    EXPECT_EQ(ReadIdentity(identity), kNoAnswerText);
    // The run's own identity reads (one before, ten after the restart), then these two.
    EXPECT_EQ(panel->CountOf(RequestKind::ReadMemory), 13u) << "it still hears the line";

    panel->PowerCycle(clock.Now());
    clock.Advance(panel->Config().Timing.RestartTime);
    ASSERT_EQ(ReadIdentity(identity), "");
    EXPECT_EQ(identity, ImageIdentity());
}

}  // namespace
}  // namespace varnox
