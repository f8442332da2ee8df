#include "update/loader_phase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "firmware/catalogue.h"
#include "protocol/loader_exchange.h"
#include "update/phase_log.h"
#include "update/update_engine.h"
#include "update/update_run.h"
#include "update/update_texts.h"

namespace varnox {

namespace {

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

}  // namespace

LoaderPhase::LoaderPhase(UpdateRun& run) : run_(run)
{
    const auto kernel = MicroKernelImage();
    if (kernel.size() > kMicroKernelStart) {
        const std::size_t copied = std::min(kMicroKernelCopied, kernel.size() - kMicroKernelStart);
        std::memcpy(code_.data(), kernel.data() + kMicroKernelStart, copied);
    }
}

UpdateEnding LoaderPhase::Run()
{
    WindowOps& window = run_.Window;
    window.LogLine(kDownloadingMicroKernel);
    window.LogLine(kPleaseWait);

    run_.Phases.Begin(phase::kHandshake);
    for (int i = 1; i <= kRequiredHandshakes; ++i) {
        if (const StepResult handshake = BootHandshake(); handshake.failed()) {
            if (run_.Stopped())
                return UpdateEnding::Interrupted;
            run_.AttemptFailed(handshake,
                               "handshake " + std::to_string(i) + " of " + std::to_string(kRequiredHandshakes));
            // The panel holds the new EEPROM and its old flash: say so.
            window.LogLine("");
            window.LogLine(kHandshakeFailedItalian);
            window.LogLine(kHandshakeFailedEnglish);
            return UpdateEnding::HandshakeFailed;
        }
    }
    // The loader wants one more frame; whether it answers does not matter.
    BootHandshake();

    run_.Phases.Begin(phase::kMicroKernel);
    if (DownloadMicroKernel().failed())
        return run_.Stopped() ? UpdateEnding::Interrupted : UpdateEnding::MicroKernelFailed;

    run_.Phases.Begin(phase::kFlash);
    window.LogLine(kErasingFlash);
    run_.Time.Pause(kEraseWaitMs);
    if (run_.Stopped())
        return UpdateEnding::Interrupted;
    if (WriteFlash().failed())
        return run_.Stopped() ? UpdateEnding::Interrupted : UpdateEnding::FlashFailed;

    window.LogLine("");
    window.LogLine(kFlashUpdatedItalian);
    window.LogLine(kFlashUpdatedEnglish);
    window.LogLine("");
    window.LogLine(kRestartWait);
    // Never answered. A send that fails is not judged here: the verification
    // after the restart tells whether the panel took it.
    ExchangeLoaderPacket(run_.Port.Serial(), run_.Time, EndPacket());
    run_.Phases.End();
    run_.Time.Pause(kRestartWaitMs);

    window.LogLine("");
    window.LogLine(kUpdateFinished);
    window.LogLine(kProgrammingEnd);
    window.LogLine("");
    window.SetButtonEnabled(false);
    return UpdateEnding::Completed;
}

StepResult LoaderPhase::BootHandshake()
{
    if (run_.Stopped())
        return StepResult::Failed(StepFailure::Stopped);
    static const LoaderPacket handshake = HandshakePacket();
    if (const LinkResult reply = ExchangeLoaderPacket(run_.Port.Serial(), run_.Time, handshake); reply.failed())
        return StepResult::Failed(StepFailure::NotAcknowledged, reply);
    return StepResult::Done();
}

StepResult LoaderPhase::SendPacket(const LoaderPacket& packet, const std::string& what)
{
    LinkResult reply;
    for (int attempt = 1; attempt <= kPacketAttempts; ++attempt) {
        if (run_.Stopped())
            return StepResult::Failed(StepFailure::Stopped);
        reply = ExchangeLoaderPacket(run_.Port.Serial(), run_.Time, packet);
        if (reply.ok())
            return StepResult::Done();
        run_.AttemptFailed(
            StepResult::Failed(StepFailure::NotAcknowledged, reply),
            what + ", attempt " + std::to_string(attempt) + " of " + std::to_string(kPacketAttempts));
        // An adapter that dropped out is waited for; the same packet goes again.
        if (attempt < kPacketAttempts)
            run_.RestorePort();
    }
    return StepResult::Failed(StepFailure::NotAcknowledged, reply);
}

void LoaderPhase::ShowPacketFailure(const char* text)
{
    // A stop asked for by the user is no programming error to report.
    if (run_.Stopped())
        return;
    run_.Window.ShowBox({BoxIcon::None, kProgramName, text, {}});
}

StepResult LoaderPhase::DownloadMicroKernel()
{
    WindowOps& window = run_.Window;
    window.SetGaugeProgress(0);
    window.SetGaugeMaximum(kMicroKernelLastOffset);

    int k = 0;
    for (; k <= kMicroKernelLastOffset; k += static_cast<int>(kKernelDataLength)) {
        window.SetGaugeProgress(k);
        window.RepaintGauge();

        const auto address = static_cast<uint16_t>(kMicroKernelStart + k);
        if (StepResult sent =
                SendPacket(MicroKernelPacket(address, code_.data() + k), "microKernel packet " + Hex(address));
            sent.failed()) {
            ShowPacketFailure(kMicroKernelFailedBox);
            return sent;
        }
    }
    run_.Time.Pause(kBeforeClosingPauseMs);

    // The closing packet repeats the last packet's data.
    const int last = k - static_cast<int>(kKernelDataLength);
    if (StepResult sent = SendPacket(ClosingPacket(code_.data() + last), "closing packet"); sent.failed()) {
        ShowPacketFailure(kMicroKernelFailedBox);
        return sent;
    }
    return StepResult::Done();
}

StepResult LoaderPhase::WriteFlash()
{
    WindowOps& window = run_.Window;
    const WorkingImage& image = run_.Image;
    const uint32_t end = image.ImageEnd;
    // The flash ranges must lie inside the working image.
    if (end < kUpperFlashEnd || end >= image.ImageBuffer.size()) {
        ShowPacketFailure(kFlashFailedBox);
        return StepResult::Failed(StepFailure::NoImagePart);
    }

    window.SetGaugeProgress(0);
    window.SetGaugeMaximum(kFlashGaugeMaximum);
    window.LogLine(kWritingFlash);
    window.LogLine(kPleaseWait);

    uint32_t address = kLowerFlashStart;
    while (address <= end) {
        window.SetGaugeProgress(static_cast<int>(address));
        window.RepaintGauge();

        if (StepResult sent = SendPacket(FlashPacket(address, image.ImageBuffer.data() + address),
                                         "flash packet " + Hex(address));
            sent.failed()) {
            ShowPacketFailure(kFlashFailedBox);
            return sent;
        }
        window.SetFieldText(Field::FlashAddress, std::to_string(address));

        // The gap between the two flash ranges is skipped; after the upper
        // range the loop ends.
        address += kFlashDataLength;
        if (address >= kLowerFlashEnd && address < kUpperFlashStart)
            address = kUpperFlashStart;
        if (address >= kUpperFlashEnd)
            address = end + 1;
    }
    return StepResult::Done();
}

}  // namespace varnox
