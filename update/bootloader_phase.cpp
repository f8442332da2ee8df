// The bootloader and flash phase: handshake, microKernel, erase wait, program
// flash, end packet and restart wait.

#include <algorithm>
#include <cstring>
#include <string>

#include "update/bootloader_protocol.h"
#include "update/reply_wait.h"
#include "update/update_engine.h"
#include "update/update_texts.h"

namespace varnox {

TComm& UpdateEngine::Comm()
{
    return Port.CurrentComm != nullptr ? *Port.CurrentComm : Port.DefaultComm;
}

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
        if (BootHandshake()) return StopRequested() ? UpdateEnding::Interrupted : UpdateEnding::HandshakeFailed;
    }
    // The loader wants one more frame; whether it answers does not matter.
    BootHandshake();

    if (DownloadMicroKernel()) return StopRequested() ? UpdateEnding::Interrupted : UpdateEnding::MicroKernelFailed;

    window_.LogLine(kErasingFlash);
    clock_.Pause(kEraseWaitMs);
    if (StopRequested()) return UpdateEnding::Interrupted;

    if (WriteFlash()) return StopRequested() ? UpdateEnding::Interrupted : UpdateEnding::FlashFailed;

    window_.LogLine("");
    window_.LogLine(kFlashUpdatedItalian);
    window_.LogLine(kFlashUpdatedEnglish);
    window_.LogLine("");
    window_.LogLine(kRestartWait);

    // The end packet: all zero, never answered; the panel restarts on it.
    std::memset(BlockBuffer, 0, kFlashPacketLength);
    TComm& comm = Comm();
    FlushInput(comm, clock_);
    WriteComm(comm, BlockBuffer, static_cast<uint16_t>(kFlashPacketLength));
    clock_.Pause(kRestartWaitMs);

    window_.LogLine("");
    window_.LogLine(kUpdateFinished);
    window_.LogLine(kProgrammingEnd);
    window_.LogLine("");
    window_.SetButtonEnabled(false);
    return UpdateEnding::Completed;
}

bool UpdateEngine::BootHandshake()
{
    if (StopRequested()) return true;
    uint8_t reply[11];
    std::memset(reply, 0xAA, sizeof reply);

    TComm& comm = Comm();
    FlushInput(comm, clock_);
    WriteComm(comm, kHandshakeFrame.data(), static_cast<uint16_t>(kHandshakeFrame.size()));
    clock_.Pause(kHandshakePauseMs);
    const double stamp = TimeOfDay(clock_);
    if (!AwaitReply(comm, clock_, stamp, {static_cast<long>(kHandshakeReplyLength), false, kHandshakeTimeout}))
        return true;
    // Only six bytes are taken; anything beyond waits for the next flush.
    if (ReadComm(comm, reply, static_cast<uint16_t>(kHandshakeReplyLength)) !=
        static_cast<long>(kHandshakeReplyLength))
        return true;
    return reply[1] != kHandshakeAccepted;
}

bool UpdateEngine::ExchangeKernelPacket(const uint8_t* packet, uint8_t expected)
{
    TComm& comm = Comm();
    for (int attempt = 0; attempt < kPacketAttempts; ++attempt) {
        if (StopRequested()) return true;
        FlushInput(comm, clock_);
        WriteComm(comm, packet, static_cast<uint16_t>(kKernelPacketLength));
        const double stamp = TimeOfDay(clock_);
        // The acknowledgement is a lone byte: one that comes with any other
        // byte is not taken and the attempt runs into its time-out.
        if (!AwaitReply(comm, clock_, stamp, {1, true, kKernelTimeout})) continue;
        uint8_t answer = 0;
        if (ReadComm(comm, &answer, 1) == 1 && answer == expected) return false;
    }
    return true;
}

void UpdateEngine::ShowPacketFailure(const char* text)
{
    // A stop asked for by the user is no programming error to report.
    if (StopRequested()) return;
    window_.MessageBox(BoxKind::Plain, kProgramName, text, "");
}

bool UpdateEngine::DownloadMicroKernel()
{
    window_.SetGaugeProgress(0);
    window_.SetGaugeMaximum(kMicroKernelLastOffset);

    uint8_t packet[kKernelPacketLength] = {};
    for (int k = 0; k <= kMicroKernelLastOffset; k += static_cast<int>(kKernelDataLength)) {
        window_.SetGaugeProgress(k);
        window_.RepaintGauge();
        window_.PumpMessages();

        const unsigned address = kMicroKernelStart + static_cast<unsigned>(k);
        packet[0] = static_cast<uint8_t>(address >> 8);
        packet[1] = static_cast<uint8_t>(address & 0xFF);
        std::memcpy(packet + 2, BlockBuffer + k, kKernelDataLength);
        if (ExchangeKernelPacket(packet, Sum8(packet, kKernelPacketLength))) {
            ShowPacketFailure(kMicroKernelFailedBox);
            return true;
        }
    }
    clock_.Pause(kBeforeClosingPauseMs);

    // The closing packet repeats the last data at address 0; the loader
    // acknowledges it with the sum of the data alone.
    packet[0] = 0;
    packet[1] = 0;
    if (ExchangeKernelPacket(packet, Sum8(packet + 2, kKernelDataLength))) {
        ShowPacketFailure(kMicroKernelFailedBox);
        return true;
    }
    return false;
}

bool UpdateEngine::ExchangeFlashPacket(uint8_t expected)
{
    TComm& comm = Comm();
    for (int attempt = 0; attempt < kPacketAttempts; ++attempt) {
        if (StopRequested()) return true;
        FlushInput(comm, clock_);
        WriteComm(comm, BlockBuffer, static_cast<uint16_t>(kFlashPacketLength));
        const double stamp = TimeOfDay(clock_);
        if (!AwaitReply(comm, clock_, stamp, {static_cast<long>(kFlashReplyLength), false, kFlashTimeout}))
            continue;
        // Judged on the first four bytes; the rest goes with the next flush.
        // Every attempt compares with the packet's own sum, also after a
        // reply with a wrong one.
        uint8_t reply[kFlashReplyLength] = {};
        if (ReadComm(comm, reply, static_cast<uint16_t>(kFlashReplyLength)) ==
                static_cast<long>(kFlashReplyLength) &&
            reply[3] == expected)
            return false;
    }
    return true;
}

bool UpdateEngine::WriteFlash()
{
    const uint32_t end = Image.ImageEnd;
    // The flash ranges must lie inside the working image.
    if (end < kUpperFlashEnd || end >= Image.ImageBuffer.size()) {
        ShowPacketFailure(kFlashFailedBox);
        return true;
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

        BlockBuffer[0] = 0;
        BlockBuffer[1] = static_cast<uint8_t>(address >> 16);
        BlockBuffer[2] = static_cast<uint8_t>(address >> 8);
        BlockBuffer[3] = static_cast<uint8_t>(address);
        std::memcpy(BlockBuffer + 4, Image.ImageBuffer.data() + address, kFlashDataLength);
        if (ExchangeFlashPacket(Sum8(BlockBuffer, kFlashPacketLength))) {
            ShowPacketFailure(kFlashFailedBox);
            return true;
        }
        window_.SetFieldText(Field::FlashAddress, std::to_string(address));

        // The gap between the two flash ranges is skipped; after the upper
        // range the loop ends.
        address += kFlashDataLength;
        if (address >= kLowerFlashEnd && address < kUpperFlashStart) address = kUpperFlashStart;
        if (address >= kUpperFlashEnd) address = end + 1;
    }
    return false;
}

}  // namespace varnox
