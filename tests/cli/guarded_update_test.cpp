// The console tool's stop policy and its runner, driven by scripted stop
// events in simulated time instead of real signals.

#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>

#include <gtest/gtest.h>

#include "cli/guarded_update.h"
#include "cli/stop_policy.h"
#include "tests/cli/console_capture.h"
#include "tests/update/simulated_update.h"
#include "update/exit_status.h"

namespace varnox {
namespace {

using Decision = StopPolicy::Decision;

TEST(StopPolicyTest, CtrlCWarnsAndASecondWithinThreeSecondsStops)
{
    StopPolicy policy;
    EXPECT_EQ(policy.OnEvent(StopEvent::Interrupt, 10.0), Decision::Warn);
    EXPECT_EQ(policy.OnEvent(StopEvent::Interrupt, 13.0), Decision::Stop);
    EXPECT_EQ(policy.StoppedStatus(), 130);
    EXPECT_EQ(policy.ExitStatus(3), 130);

    StopPolicy late;
    EXPECT_EQ(late.OnEvent(StopEvent::Interrupt, 10.0), Decision::Warn);
    EXPECT_EQ(late.OnEvent(StopEvent::Interrupt, 13.5), Decision::Warn);  // warns afresh
    EXPECT_EQ(late.ExitStatus(4), 4);
    EXPECT_EQ(late.OnEvent(StopEvent::Interrupt, 15.0), Decision::Stop);
}

TEST(StopPolicyTest, TerminateStopsAtOnceAndLaterEventsAreIgnored)
{
    StopPolicy policy;
    EXPECT_EQ(policy.OnEvent(StopEvent::Interrupt, 10.0), Decision::Warn);
    EXPECT_EQ(policy.OnEvent(StopEvent::Terminate, 10.5), Decision::Stop);
    EXPECT_EQ(policy.OnEvent(StopEvent::Interrupt, 11.0), Decision::Ignore);
    EXPECT_EQ(policy.OnEvent(StopEvent::Terminate, 11.0), Decision::Ignore);
    // The stop decides the status, even when the update got to its end first.
    EXPECT_EQ(policy.ExitStatus(0), 143);
}

TEST(StopPolicyTest, GraceTimeRunsFromTheStop)
{
    StopPolicy policy;
    EXPECT_FALSE(policy.Overdue(1e9));  // nothing to be overdue without a stop
    EXPECT_EQ(policy.ExitStatus(1), 1);
    policy.OnEvent(StopEvent::Terminate, 100.0);
    EXPECT_FALSE(policy.Overdue(110.0));
    EXPECT_TRUE(policy.Overdue(110.01));
}

// Stop events as a test scripts them: each wait hands over the next step's
// events after moving the simulated clock on by the step's delay. Once the
// script is done, each wait lets its timeout pass in simulated time, waiting
// in real time only for the update's end.
class ScriptedStopEvents final : public StopEventSource {
public:
    struct Step {
        double after_seconds;
        std::vector<StopEvent> events;
    };
    ScriptedStopEvents(SimClock& clock, std::deque<Step> script) : clock_(clock), script_(std::move(script)) {}

    bool starts = true;
    // Whether an idle wait waits in real time for the end (not when it never comes).
    bool awaits_end = true;
    // Called once the last step has been handed over.
    std::function<void()> after_script = [] {};

    bool Start() override { return starts; }
    Wake Wait(int timeout_ms, std::vector<StopEvent>& events) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (script_.empty()) {
            if (awaits_end)
                ended_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return ended_; });
            if (!ended_)
                clock_.Advance(timeout_ms / 1000.0);
            return ended_ ? Wake::Ended : Wake::Watching;
        }
        clock_.Advance(script_.front().after_seconds);
        events.insert(events.end(), script_.front().events.begin(), script_.front().events.end());
        script_.pop_front();
        const Wake wake = ended_ ? Wake::Ended : Wake::Watching;
        if (script_.empty()) {
            lock.unlock();
            after_script();
        }
        return wake;
    }
    void UpdateEnded() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        ended_changed_.notify_all();
    }

private:
    SimClock& clock_;
    std::deque<Step> script_;
    std::mutex mutex_;
    std::condition_variable ended_changed_;
    bool ended_ = false;
};

// An update that runs until it is stopped or told to complete.
class FakeUpdate {
public:
    void Complete()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        completes_ = true;
        stopped_.notify_all();
    }
    UpdateWork Work()
    {
        return {[this] {
                    std::unique_lock<std::mutex> lock(mutex_);
                    stopped_.wait(lock, [this] { return completes_ || stops_ > 0; });
                    return stops_ > 0 ? stopped_with_ : 0;
                },
                [this](int exit_status) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    stopped_with_ = exit_status;
                    ++stops_;
                    stopped_.notify_all();
                }};
    }
    int Stops() const { return stops_; }
    int StoppedWith() const { return stopped_with_; }

private:
    bool completes_ = false;
    std::mutex mutex_;
    std::condition_variable stopped_;
    int stops_ = 0;
    int stopped_with_ = 0;
};

const std::string kWarning =
    "ATTENZIONE: interrompere l'aggiornamento può lasciare la centrale inutilizzabile.\n"
    "WARNING: interrupting the update can leave the panel unusable. Press Ctrl-C again within 3 s to stop it "
    "anyway.\n";
const std::string kStopping = "Stopping the update: closing the port...\n";

using GuardedUpdate = testing::ConsoleCapture;

TEST_F(GuardedUpdate, SecondCtrlCWithinThreeSecondsStops)
{
    ConsoleWindow window(out_[1], err_[1], false, clock);
    ScriptedStopEvents stops(clock, {{0.0, {StopEvent::Interrupt}}, {2.9, {StopEvent::Interrupt}}});
    FakeUpdate update;
    EXPECT_EQ(RunGuardedUpdate(update.Work(), clock, window, stops), 130);
    EXPECT_EQ(update.Stops(), 1);
    EXPECT_EQ(update.StoppedWith(), 130);  // what the engine's run record gives
    EXPECT_EQ(Drain(err_[0]), kWarning + kStopping);
    EXPECT_EQ(Drain(out_[0]), "");
}

TEST_F(GuardedUpdate, LateCtrlCWarnsAgainAndTerminateStopsAtOnce)
{
    ConsoleWindow window(out_[1], err_[1], false, clock);
    ScriptedStopEvents stops(clock, {{0.0, {StopEvent::Interrupt}},
                                     {3.5, {StopEvent::Interrupt}},
                                     {0.5, {StopEvent::Terminate, StopEvent::Interrupt}}});
    FakeUpdate update;
    EXPECT_EQ(RunGuardedUpdate(update.Work(), clock, window, stops), 143);
    EXPECT_EQ(update.Stops(), 1);  // the Ctrl-C after the stop asks nothing more
    EXPECT_EQ(update.StoppedWith(), 143);
    EXPECT_EQ(Drain(err_[0]), kWarning + kWarning + kStopping);
}

TEST_F(GuardedUpdate, UpdateThatEndsAfterAWarningKeepsItsStatus)
{
    ConsoleWindow window(out_[1], err_[1], false, clock);
    ScriptedStopEvents stops(clock, {{0.0, {StopEvent::Interrupt}}});
    FakeUpdate update;
    stops.after_script = [&update] { update.Complete(); };
    EXPECT_EQ(RunGuardedUpdate(update.Work(), clock, window, stops), 0);
    EXPECT_EQ(update.Stops(), 0);
    EXPECT_EQ(Drain(err_[0]), kWarning);
}

TEST_F(GuardedUpdate, WithoutStopEventsTheUpdateRunsUnguarded)
{
    ConsoleWindow window(out_[1], err_[1], false, clock);
    ScriptedStopEvents stops(clock, {});
    stops.starts = false;
    const UpdateWork failing{[] { return 3; }, [](int) {}};
    EXPECT_EQ(RunGuardedUpdate(failing, clock, window, stops), 3);
    EXPECT_EQ(Drain(err_[0]), "Cannot watch for Ctrl-C; the update runs to its end without it.\n");
}

// The engine's clock, failing at the first pause once `fails` says so: a
// fault inside the engine in the middle of a run.
class FailingClock final : public Clock {
public:
    FailingClock(SimClock& clock, std::function<bool()> fails) : clock_(clock), fails_(std::move(fails)) {}
    double Now() override { return clock_.Now(); }
    void Pause(int milliseconds) override
    {
        if (fails_())
            throw std::runtime_error("clock failed\nmid-run");
        clock_.Pause(milliseconds);
    }

private:
    SimClock& clock_;
    std::function<bool()> fails_;
};

TEST_F(GuardedUpdate, FaultEscapingTheRunClosesThePortAndSaysWhatThePanelReached)
{
    struct Row {
        RequestKind after;  // the fault comes once the panel has had one of these
        int status;
    };
    for (const Row row :
         {Row{RequestKind::ReadMemory, kExitPanelUnchanged}, Row{RequestKind::WriteEeprom, kExitPanelChanged}}) {
        SimClock sim_clock;
        SimPanel panel(testing::PanelWith(testing::kIdentity192536));
        SimPortOpener opener(panel, sim_clock);
        FailingClock engine_clock(sim_clock, [&panel, &row] { return panel.CountOf(row.after) > 0; });
        ConsoleWindow window(out_[1], err_[1], false, engine_clock);
        UpdateEngine engine(opener, engine_clock, window);
        testing::PrepareForTests(engine);
        ScriptedStopEvents stops(clock, {});
        EXPECT_EQ(RunGuardedUpdate(EngineWork(engine, [] {}), clock, window, stops), row.status);
        EXPECT_FALSE(engine.PortIsOpen());
        EXPECT_EQ(Drain(err_[0]), "Internal error: the update stopped: clock failed mid-run\n");
        Drain(out_[0]);
    }
    // An identification alone lets the port go as well before the fault goes on.
    SimClock sim_clock;
    SimPanel panel(testing::PanelWith(testing::kIdentity192536));
    SimPortOpener opener(panel, sim_clock);
    FailingClock engine_clock(sim_clock, [&panel] { return panel.CountOf(RequestKind::ReadMemory) > 0; });
    ConsoleWindow window(out_[1], err_[1], false, engine_clock);
    UpdateEngine engine(opener, engine_clock, window);
    testing::PrepareForTests(engine);
    EXPECT_THROW(engine.Identify(), std::runtime_error);
    EXPECT_FALSE(engine.PortIsOpen());
}

TEST(GuardedUpdateDeathTest, StopThatOverrunsItsGraceLeavesWithoutTheUpdate)
{
    // The window writes to this process's stderr, where the death test reads it.
    auto run_stuck = [] {
        ::alarm(30);  // a runner that never leaves fails instead of hanging
        SimClock clock;
        ConsoleWindow window(STDOUT_FILENO, STDERR_FILENO, false, clock);
        ScriptedStopEvents stops(clock, {{0.0, {StopEvent::Terminate}}});
        stops.awaits_end = false;
        const UpdateWork stuck{[]() -> int {
                                   for (;;)
                                       ::pause();
                               },
                               [](int) {}};
        RunGuardedUpdate(stuck, clock, window, stops);
    };
    EXPECT_EXIT(
        run_stuck(), ::testing::ExitedWithCode(143),
        "Stopping the update: closing the port...\nThe update did not stop in time; leaving without it.\n");
}

}  // namespace
}  // namespace varnox
