// The identity read after a completed run's restart, against the simulated
// panel in simulated time: its three outcomes, its timing on the open port,
// and the exit status each gives.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "tests/update/simulated_update.h"
#include "update/exit_status.h"

namespace varnox::testing {
namespace {

using Lines = std::vector<std::string>;
const std::string kName = "FWKAELVRXGAA0I_2x04";

// The completed log up to the verification's lines, which come last.
Lines WithoutVerification()
{
    Lines log = CompletedLog(kName);
    log.resize(log.size() - 3);
    return log;
}

Lines Concat(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The pauses from the restart wait on.
std::vector<PauseRecordingClock::Noted> AfterTheRestartWait(const SimulatedUpdate& run)
{
    auto at = run.clock.pauses.end();
    while (at != run.clock.pauses.begin() && (at - 1)->milliseconds != 8000)
        --at;
    return {at, run.clock.pauses.end()};
}

TEST(Verification, PanelThatCameBackWithTheImageIsVerifiedAtTheFirstRead)
{
    SimulatedUpdate run(PanelWith(kIdentity160980));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.window.log,
              Concat(WithoutVerification(), {"", "CENTRALE VERIFICATA: " + kName, "PANEL VERIFIED: " + kName}));
    EXPECT_EQ(run.engine.LastVerification.load(), Verification::Verified);
    EXPECT_EQ(run.engine.LastExitStatus.load(), kExitVerified);
    // The same 6-byte read at the same address as the first, after the restart wait, on the open port.
    const auto reads = run.Addresses(RequestKind::ReadMemory, 6);
    EXPECT_EQ(reads, (std::vector<uint32_t>{0xFED0, 0xFED0}));
    const auto after = AfterTheRestartWait(run);
    ASSERT_FALSE(after.empty());
    for (const auto& pause : after)
        EXPECT_TRUE(pause.port_open);
    EXPECT_LT(std::accumulate(after.begin(), after.end(), 0,
                              [](int sum, const auto& p) { return sum + p.milliseconds; }),
              1000);
    EXPECT_EQ(run.engine.LastRecord.IdentityAfter, std::optional<IdentityBytes>(kIdentity160980));
    EXPECT_FALSE(run.engine.PortIsOpen());
    EXPECT_FALSE(run.window.gauge_visible);
}

TEST(Verification, SilentPanelIsAskedOnceASecondForTenSeconds)
{
    SimulatedUpdate run(
        PanelWith(kIdentity160980, {Fault(PanelFaultType::SilentAfterRestart, RequestKind::End, 1)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.window.log,
              Concat(WithoutVerification(), {"", "ATTENZIONE: la centrale non risponde dopo il riavvio",
                                             "WARNING: the panel does not answer after its restart"}));
    EXPECT_EQ(run.engine.LastVerification.load(), Verification::NoAnswer);
    EXPECT_EQ(run.engine.LastExitStatus.load(), kExitNotVerified);
    EXPECT_FALSE(run.engine.LastRecord.IdentityAfter.has_value());

    // Ten reads, their starts a second apart: the last begins 9 s after the first.
    const auto after = AfterTheRestartWait(run);
    int total = 0;
    for (const auto& pause : after) {
        EXPECT_TRUE(pause.port_open);
        total += pause.milliseconds;
    }
    EXPECT_GT(total, 9000);
    EXPECT_LE(total, 10000);
    const long long waits =
        std::count_if(after.begin(), after.end(), [](const auto& p) { return p.milliseconds > 500; });
    EXPECT_EQ(waits, 9);
    EXPECT_FALSE(run.engine.PortIsOpen());
}

TEST(Verification, PanelWithItsOldIdentityReportsOtherFirmware)
{
    // A KE panel is given the image of a KA panel, whose identity block differs from its own.
    constexpr IdentityBytes kKePanel = {0x00, 0x00, 0x0B, 0x20, 0x00, 0x04};
    SimulatedUpdate run(PanelWith(kKePanel, {Fault(PanelFaultType::OldIdentity, RequestKind::End, 1)}));
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    Lines expected = CompletedLog(run.window.panel_type);
    expected.resize(expected.size() - 2);
    EXPECT_EQ(run.window.log, Concat(expected, {"ATTENZIONE: la centrale riporta un altro firmware",
                                                "WARNING: the panel reports other firmware"}));
    EXPECT_EQ(run.engine.LastVerification.load(), Verification::OtherFirmware);
    EXPECT_EQ(run.engine.LastExitStatus.load(), kExitNotVerified);
    EXPECT_EQ(run.engine.LastRecord.IdentityAfter, std::optional<IdentityBytes>(kKePanel));

    // Without the fault the same panel comes back with the written block.
    SimulatedUpdate updated(PanelWith(kKePanel));
    EXPECT_EQ(updated.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(updated.engine.LastVerification.load(), Verification::Verified);
    EXPECT_NE(updated.engine.LastRecord.IdentityAfter, std::optional<IdentityBytes>(kKePanel));
}

TEST(Verification, StopWhileVerifyingEndsWithoutItsLinesAndWithTheStopsStatus)
{
    SimulatedUpdate run(
        PanelWith(kIdentity160980, {Fault(PanelFaultType::SilentAfterRestart, RequestKind::End, 1)}));
    // Asked once the completed lines are out, as a console's SIGTERM would.
    run.clock.port_open = [&] {
        if (std::find(run.window.log.begin(), run.window.log.end(), "programming END") != run.window.log.end())
            run.engine.RequestStop(143);
        return run.engine.PortIsOpen();
    };
    EXPECT_EQ(run.engine.Run(), UpdateEnding::Completed);
    EXPECT_EQ(run.window.log, WithoutVerification());
    EXPECT_EQ(run.engine.LastVerification.load(), Verification::NotRun);
    EXPECT_EQ(run.engine.LastExitStatus.load(), 143);
    EXPECT_FALSE(run.engine.PortIsOpen());
}

}  // namespace
}  // namespace varnox::testing
