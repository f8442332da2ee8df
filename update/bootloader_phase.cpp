// The bootloader and flash phase: handshake, microKernel, erase wait, program
// flash, end packet and restart wait.

#include <algorithm>
#include <cstring>
#include <string>

#include "core/time_stamp.h"
#include "update/loader_sequence.h"
#include "update/reply_wait.h"
#include "update/update_engine.h"
#include "update/update_texts.h"

namespace varnox {

UpdateEnding UpdateEngine::RunBootloaderPhase()
{
    window_.LogLine(kDownloadingMicroKernel);
    window_.LogLine(kPleaseWait);

    std::memset(BlockBuffer, 0, sizeof BlockBuffer);
    const auto kernel = MicroKernelImage();
    if (kernel.size() > kMicroKernelStart) {
        const std::size_t copied = std::min(kMicroKernelCopied, kernel.size() - kMicroKernelStart);
        std::memcpy(BlockBuffer, kernel.data() + kMicroKernelStart, copied);
    }

    for (int i = 0; i < kRequiredHandshakes; ++i) {
        if (BootHandshake().failed()) {
            if (StopRequested())
                return UpdateEnding::Interrupted;
            ++LastRecord.Failed.Handshake;
            // The panel holds the new EEPROM and its old flash: say so.
            window_.LogLine("");
            window_.LogLine(kHandshakeFailedItalian);
            window_.LogLine(kHandshakeFailedEnglish);
            return UpdateEnding::HandshakeFailed;
        }
    }
    // The loader wants one more frame; whether it answers does not matter.
    BootHandshake();

    if (DownloadMicroKernel().failed())
        return StopRequested() ? UpdateEnding::Interrupted : UpdateEnding::MicroKernelFailed;

    window_.LogLine(kErasingFlash);
    clock_.Pause(kEraseWaitMs);
    if (StopRequested())
        return UpdateEnding::Interrupted;

    if (WriteFlash().failed())
        return StopRequested() ? UpdateEnding::Interrupted : UpdateEnding::FlashFailed;

    window_.LogLine("");
    window_.LogLine(kFlashUpdatedItalian);
    window_.LogLine(kFlashUpdatedEnglish);
    window_.LogLine("");
    window_.LogLine(kRestartWait);

    const LoaderPacket end = EndPacket();
    SerialPort& port = Port.Serial();
    port.DiscardInput(clock_);
    port.Send(end.Bytes.data(), end.Length);
    clock_.Pause(kRestartWaitMs);

    window_.LogLine("");
    window_.LogLine(kUpdateFinished);
    window_.LogLine(kProgrammingEnd);
    window_.LogLine("");
    window_.SetButtonEnabled(false);
    return UpdateEnding::Completed;
}

StepResult UpdateEngine::BootHandshake()
{
    if (StopRequested())
        return StepResult::Failed(StepFailure::Stopped);
    uint8_t reply[kHandshakeReplyLength] = {};

    static const TPacketBuffer frame = HandshakeFrame();
    SerialPort& port = Port.Serial();
    port.DiscardInput(clock_);
    port.Send(frame.Bytes, frame.Length);
    clock_.Pause(kHandshakePauseMs);
    const double stamp = TimeStamp(clock_);
    // Only six bytes are taken; anything beyond waits for the next discard.
    if (!ReplyArrived(port, clock_, stamp, {static_cast<long>(kHandshakeReplyLength), false, kHandshakeTimeout}) ||
        port.Receive(reply, kHandshakeReplyLength).count != kHandshakeReplyLength ||
        reply[1] != kHandshakeAccepted)
        return StepResult::Failed(StepFailure::NotAcknowledged);
    return StepResult::Done();
}

StepResult UpdateEngine::ExchangeKernelPacket(const LoaderPacket& packet)
{
    SerialPort& port = Port.Serial();
    for (int attempt = 0; attempt < kPacketAttempts; ++attempt) {
        if (StopRequested())
            return StepResult::Failed(StepFailure::Stopped);
        port.DiscardInput(clock_);
        port.Send(packet.Bytes.data(), packet.Length);
        const double stamp = TimeStamp(clock_);
        // The acknowledgement is a lone byte: one that comes with any other
        // byte is not taken and the attempt runs into its time-out.
        uint8_t answer = 0;
        if (ReplyArrived(port, clock_, stamp, {1, true, kKernelTimeout}) && port.Receive(&answer, 1).count == 1 &&
            answer == packet.ExpectedSum)
            return StepResult::Done();
        ++LastRecord.Failed.MicroKernel;
        if (attempt + 1 < kPacketAttempts)
            RestorePort();
    }
    return StepResult::Failed(StepFailure::NotAcknowledged);
}

void UpdateEngine::ShowPacketFailure(const char* text)
{
    // A stop asked for by the user is no programming error to report.
    if (StopRequested())
        return;
    window_.MessageBox(BoxKind::Plain, kProgramName, text, "");
}

StepResult UpdateEngine::DownloadMicroKernel()
{
    window_.SetGaugeProgress(0);
    window_.SetGaugeMaximum(kMicroKernelLastOffset);

    int k = 0;
    for (; k <= kMicroKernelLastOffset; k += static_cast<int>(kKernelDataLength)) {
        window_.SetGaugeProgress(k);
        window_.RepaintGauge();
        window_.PumpMessages();

        const auto address = static_cast<uint16_t>(kMicroKernelStart + k);
        if (StepResult sent = ExchangeKernelPacket(MicroKernelPacket(address, BlockBuffer + k)); sent.failed()) {
            ShowPacketFailure(kMicroKernelFailedBox);
            return sent;
        }
    }
    clock_.Pause(kBeforeClosingPauseMs);

    // The closing packet repeats the last packet's data.
    const int last = k - static_cast<int>(kKernelDataLength);
    if (StepResult sent = ExchangeKernelPacket(ClosingPacket(BlockBuffer + last)); sent.failed()) {
        ShowPacketFailure(kMicroKernelFailedBox);
        return sent;
    }
    return StepResult::Done();
}

StepResult UpdateEngine::ExchangeFlashPacket(const LoaderPacket& packet)
{
    SerialPort& port = Port.Serial();
    for (int attempt = 0; attempt < kPacketAttempts; ++attempt) {
        if (StopRequested())
            return StepResult::Failed(StepFailure::Stopped);
        port.DiscardInput(clock_);
        port.Send(packet.Bytes.data(), packet.Length);
        const double stamp = TimeStamp(clock_);
        // Judged on the first four bytes; the rest goes with the next discard.
        // Every attempt compares with the packet's own sum, also after a
        // reply with a wrong one.
        uint8_t reply[kFlashReplyLength] = {};
        if (ReplyArrived(port, clock_, stamp, {static_cast<long>(kFlashReplyLength), false, kFlashTimeout}) &&
            port.Receive(reply, kFlashReplyLength).count == kFlashReplyLength &&
            reply[kFlashReplySumIndex] == packet.ExpectedSum)
            return StepResult::Done();
        ++LastRecord.Failed.Flash;
        // An adapter that dropped out is waited for; the same packet goes again.
        if (attempt + 1 < kPacketAttempts)
            RestorePort();
    }
    return StepResult::Failed(StepFailure::NotAcknowledged);
}

StepResult UpdateEngine::WriteFlash()
{
    const uint32_t end = Image.ImageEnd;
    // The flash ranges must lie inside the working image.
    if (end < kUpperFlashEnd || end >= Image.ImageBuffer.size()) {
        ShowPacketFailure(kFlashFailedBox);
        return StepResult::Failed(StepFailure::NoImagePart);
    }

    window_.SetGaugeProgress(0);
    window_.SetGaugeMaximum(kFlashGaugeMaximum);
    window_.LogLine(kWritingFlash);
    window_.LogLine(kPleaseWait);

    uint32_t address = kLowerFlashStart;
    while (address <= end) {
        window_.SetGaugeProgress(static_cast<int>(address));
        window_.RepaintGauge();
        window_.PumpMessages();

        const LoaderPacket packet = FlashPacket(address, Image.ImageBuffer.data() + address);
        if (StepResult sent = ExchangeFlashPacket(packet); sent.failed()) {
            ShowPacketFailure(kFlashFailedBox);
            return sent;
        }
        window_.SetFieldText(Field::FlashAddress, std::to_string(address));

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
