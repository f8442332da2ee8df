// The stand-in guard and identify-only, in simulated time: a build that
// carries stand-ins writes nothing unless allowed, and says so after the
// identity read and the name.

#include <gtest/gtest.h>

#include "firmware/image_provenance.h"
#include "tests/update/simulated_update.h"
#include "update/exit_status.h"

namespace varnox::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(StandInGuard, RefusesAfterTheIdentityReadAndBeforeAnyWrite)
{
    ASSERT_TRUE(CarriesStandInImages()) << "the guard needs the carried stand-ins";
    SimulatedUpdate run(PanelWith(kIdentity192536));
    run.engine.Options.AllowStandIn = false;
    const double start = run.sim_clock.Now();

    EXPECT_EQ(run.engine.Run(), UpdateEnding::StandInRefused);
    EXPECT_EQ(run.window.log, (Lines{"", "FIRMWARE DI PROVA: non adatto a una centrale reale",
                                     "STAND-IN FIRMWARE: not for a real panel"}));
    EXPECT_EQ(run.panel.Requests().size(), 1u);  // the identity read alone
    EXPECT_TRUE(run.window.boxes.empty());
    // As the no-firmware ending, without its 3 s pause: port closed, button enabled.
    EXPECT_LT(run.sim_clock.Now() - start, 1.0);
    for (const auto& pause : run.clock.pauses)
        EXPECT_NE(pause.milliseconds, 3000);
    EXPECT_FALSE(run.engine.PortIsOpen());
    EXPECT_TRUE(run.window.button_enabled);
    EXPECT_EQ(run.window.panel_type, "");
    EXPECT_EQ(run.engine.LastExitStatus.load(), kExitPanelUnchanged);
}

TEST(StandInGuard, EarlierEndingsComeFirst)
{
    // A refused release and a name without an image end as before, guard or not.
    SimulatedUpdate release(PanelWith({0x00, 0x00, 0x0B, 0x21, 0x00, 0x00}));
    release.engine.Options.AllowStandIn = false;
    EXPECT_EQ(release.engine.Run(), UpdateEnding::ReleaseRejected);

    SimulatedUpdate unknown(PanelWith({0x00, 0x00, 0x1A, 0x05, 0x00, 0x04}));
    unknown.engine.Options.AllowStandIn = false;
    EXPECT_EQ(unknown.engine.Run(), UpdateEnding::NoFirmware);
    EXPECT_EQ(unknown.clock.pauses.back().milliseconds, 3000);
}

TEST(Identify, ReadsTheIdentityAndWritesNothing)
{
    SimulatedUpdate run(PanelWith(kIdentity160980));
    run.engine.Options.AllowStandIn = false;
    Identification found = run.engine.Identify();
    EXPECT_EQ(found.ReadFailure, "");
    EXPECT_EQ(found.Identity, kIdentity160980);
    EXPECT_EQ(found.Firmware, std::optional<std::string>("FWKAELVRXGAA0I_2x04"));
    EXPECT_TRUE(found.ImageFound);
    EXPECT_FALSE(found.CanStart);  // the guard would refuse

    run.engine.Options.AllowStandIn = true;
    found = run.engine.Identify();
    EXPECT_TRUE(found.CanStart);
    EXPECT_EQ(run.panel.Requests().size(), 2u);
    for (const RequestRecord& request : run.panel.Requests())
        EXPECT_EQ(request.Kind, RequestKind::ReadMemory);
    EXPECT_FALSE(run.engine.PortIsOpen());
    EXPECT_TRUE(run.window.log.empty());
}

TEST(Identify, SaysWhyNoUpdateCouldStart)
{
    SimulatedUpdate release(PanelWith({0x00, 0x00, 0x0B, 0x21, 0x00, 0x00}));
    const Identification refused = release.engine.Identify();
    EXPECT_FALSE(refused.Firmware.has_value());
    EXPECT_FALSE(refused.CanStart);

    SimulatedUpdate unknown(PanelWith({0x00, 0x00, 0x1A, 0x05, 0x00, 0x04}));
    const Identification no_image = unknown.engine.Identify();
    EXPECT_EQ(no_image.Firmware, std::optional<std::string>("FWKE4AVRXSAA0I_2x04"));
    EXPECT_FALSE(no_image.ImageFound);
    EXPECT_FALSE(no_image.CanStart);

    SimulatedUpdate nobody;
    nobody.engine.SelectedPort = 2;
    const Identification unread = nobody.engine.Identify();
    EXPECT_EQ(unread.ReadFailure, "Errore Lettura da centrale : No Answer");
    EXPECT_FALSE(unread.CanStart);
}

}  // namespace
}  // namespace varnox::testing
