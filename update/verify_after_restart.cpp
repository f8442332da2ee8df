// The identity read after a completed run's restart: the panel must come back
// with the identity block of the image just written.

#include <algorithm>

#include "firmware/panel_identity.h"
#include "update/update_engine.h"
#include "update/update_texts.h"

namespace varnox {

namespace {

// Once a second for up to 10 s.
constexpr int kVerifyAttempts = 10;
constexpr double kVerifyIntervalSeconds = 1.0;

}  // namespace

Verification UpdateEngine::VerifyAfterRestart()
{
    IdentityBytes expected{};
    std::copy_n(Image.ImageBuffer.begin() + kIdentityAddress, kIdentityLength, expected.begin());

    SerialPort& port = Port.Serial();
    const double start = clock_.Now();
    std::optional<IdentityBytes> answer;
    for (int attempt = 0; attempt < kVerifyAttempts && !answer; ++attempt) {
        const double due = start + attempt * kVerifyIntervalSeconds;
        if (const double early = due - clock_.Now(); early > 0)
            clock_.Pause(static_cast<int>(early * 1000 + 0.5));
        if (StopRequested())
            return Verification::NotRun;
        // The port stays open between attempts: the restart's noise goes with the discard.
        port.DiscardInput(clock_);
        IdentityBytes read{};
        if (Requests.ReadMemory(kIdentityAddress, read.data(), kIdentityLength).ok())
            answer = read;
    }

    window_.LogLine("");
    if (!answer) {
        window_.LogLine(kNoAnswerAfterRestartItalian);
        window_.LogLine(kNoAnswerAfterRestartEnglish);
        return Verification::NoAnswer;
    }
    LastRecord.IdentityAfter = *answer;
    if (*answer != expected) {
        window_.LogLine(kOtherFirmwareItalian);
        window_.LogLine(kOtherFirmwareEnglish);
        return Verification::OtherFirmware;
    }
    const std::string name = LastRecord.FirmwareBefore.value_or("");
    window_.LogLine(kVerifiedItalian + name);
    window_.LogLine(kVerifiedEnglish + name);
    return Verification::Verified;
}

}  // namespace varnox
