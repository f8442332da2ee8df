// A second run never starts inside the first, and a stop ends a run cleanly.

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tests/update/simulated_update.h"

namespace varnox::testing {
namespace {

// Runs `hook` at one repaint of the gauge during the update (one per EEPROM
// chunk, microKernel packet and flash packet).
class HookedWindow final : public RecordingWindow {
public:
    void RepaintGauge() override
    {
        RecordingWindow::RepaintGauge();
        if (++passes == at_pass && hook)
            hook();
    }
    std::function<void()> hook;
    int at_pass = 0;
    int passes = 0;
};

struct HookedUpdate {
    explicit HookedUpdate(PanelConfig config) : panel(std::move(config)) { PrepareForTests(engine); }
    SimClock clock;
    SimPanel panel;
    SimPortOpener opener{panel, clock};
    HookedWindow window;
    UpdateEngine engine{opener, clock, window};
};

TEST(Reentry, ButtonPressedFromTheWindowIsRefused)
{
    HookedUpdate run(PanelWith(kIdentity160980));
    UpdateEnding inner = UpdateEnding::NotRun;
    run.window.at_pass = 100;
    run.window.hook = [&] {
        EXPECT_TRUE(run.engine.Running());
        inner = run.engine.Run();
    };

    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(inner, UpdateEnding::Refused);
    EXPECT_EQ(run.window.log_clears, 1);
    EXPECT_EQ(run.panel.CountOf(RequestKind::ReadMemory), 2u);  // before and after the restart
    EXPECT_EQ(run.engine.LastEnding.load(), UpdateEnding::Completed);
    EXPECT_FALSE(run.engine.Running());
}

TEST(Reentry, ButtonPressedFromAnotherThreadIsRefused)
{
    HookedUpdate run(PanelWith(kIdentity160980));
    std::promise<void> reached;
    std::promise<void> released;
    std::shared_future<void> release = released.get_future().share();
    run.window.at_pass = 10;
    run.window.hook = [&] {
        reached.set_value();
        release.wait();
    };

    std::thread worker([&] { EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed); });
    reached.get_future().wait();
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Refused);
    released.set_value();
    worker.join();

    EXPECT_EQ(run.window.log_clears, 1);
    EXPECT_EQ(run.engine.LastEnding.load(), UpdateEnding::Completed);
}

TEST(Stop, DuringTheFlashEndsWithoutBoxAndClosesThePort)
{
    HookedUpdate run(PanelWith(kIdentity160980));
    // Past the EEPROM chunks and the microKernel packets: inside the flash write.
    run.window.at_pass = 677 + 24 + 100;
    run.window.hook = [&] { run.engine.RequestStop(); };

    EXPECT_EQ(run.engine.Run(), UpdateEnding::Interrupted);
    EXPECT_TRUE(run.window.boxes.empty());
    EXPECT_FALSE(run.window.gauge_visible);
    EXPECT_FALSE(run.opener.Held());
    EXPECT_EQ(run.panel.CountOf(RequestKind::Flash), 99u);  // the 100th is not sent
    EXPECT_EQ(run.panel.CountOf(RequestKind::End), 0u);
    EXPECT_EQ(run.window.log.back(), "PLEASE WAIT...");
    // The stop belonged to that run; the next one is not stopped by it.
    EXPECT_FALSE(run.engine.StopRequested());
}

TEST(Stop, DuringTheEepromPhaseSendsNoFurtherChunk)
{
    HookedUpdate run(PanelWith(kIdentity160980));
    run.window.at_pass = 50;
    run.window.hook = [&] { run.engine.RequestStop(); };

    EXPECT_EQ(run.engine.Run(), UpdateEnding::Interrupted);
    EXPECT_EQ(run.panel.CountOf(RequestKind::WriteEeprom), 2u + 49u);  // chunk 50 is not sent
    EXPECT_EQ(run.panel.CountOf(RequestKind::Handshake), 0u);
    EXPECT_EQ(run.window.log, OpeningLines("FWKAELVRXGAA0I_2x04"));
    EXPECT_FALSE(run.opener.Held());
}

}  // namespace
}  // namespace varnox::testing
