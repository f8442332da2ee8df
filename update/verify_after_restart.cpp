// The identity read after a completed run's restart: the panel must come back
// with the identity block of the image just written.

#include <algorithm>

#include "firmware/panel_identity.h"
#include "update/update_run.h"
#include "update/update_texts.h"

namespace varnox {

namespace {

// Once a second for up to 10 s.
constexpr int kVerifyAttempts = 10;
constexpr double kVerifyIntervalSeconds = 1.0;

}  // namespace

Verification VerifyAfterRestart(UpdateRun& run)
{
    IdentityBytes expected{};
    std::copy_n(run.Image.ImageBuffer.begin() + kIdentityAddress, kIdentityLength, expected.begin());

    run.Phases.Begin(phase::kVerification);
    SerialPort& port = run.Port.Serial();
    const double start = run.Time.Now();
    std::optional<IdentityBytes> answer;
    for (int attempt = 0; attempt < kVerifyAttempts && !answer; ++attempt) {
        const double due = start + attempt * kVerifyIntervalSeconds;
        if (const double early = due - run.Time.Now(); early > 0)
            run.Time.Pause(static_cast<int>(early * 1000 + 0.5));
        if (run.Stopped())
            return Verification::NotRun;
        // The port stays open between attempts: the restart's noise goes with the discard.
        port.DiscardInput(run.Time);
        IdentityBytes read{};
        if (const LinkResult result = run.Requests.ReadMemory(kIdentityAddress, read.data(), kIdentityLength);
            result.ok())
            answer = read;
        else
            run.AttemptFailed(
                StepResult::Failed(StepFailure::LinkFailed, result),
                "identity read " + std::to_string(attempt + 1) + " of " + std::to_string(kVerifyAttempts));
    }
    run.Phases.End();

    WindowOps& window = run.Window;
    window.LogLine("");
    if (!answer) {
        window.LogLine(kNoAnswerAfterRestartItalian);
        window.LogLine(kNoAnswerAfterRestartEnglish);
        return Verification::NoAnswer;
    }
    run.IdentityAfter = *answer;
    if (*answer != expected) {
        window.LogLine(kOtherFirmwareItalian);
        window.LogLine(kOtherFirmwareEnglish);
        return Verification::OtherFirmware;
    }
    const std::string name = run.Firmware.value_or("");
    window.LogLine(kVerifiedItalian + name);
    window.LogLine(kVerifiedEnglish + name);
    return Verification::Verified;
}

}  // namespace varnox
