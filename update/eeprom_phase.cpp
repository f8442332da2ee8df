// The EEPROM phase: the word at 0x2820, the byte at 15, and the EEPROM part of
// the working image in 20-byte chunks.

#include <string>

#include "update/eeprom_chunks.h"
#include "update/update_engine.h"
#include "update/update_texts.h"

namespace varnox {

namespace {

// The word at EEPROM 0x2820 (low byte first) must lie in 0x7FE0..0x8030;
// anything else is replaced by 0x8000.
constexpr uint16_t kNormalizedWordAddress = 0x2820;
constexpr uint16_t kWordLowest = 0x7FE0;
constexpr uint16_t kWordHighest = 0x8030;
constexpr uint16_t kWordReplacement = 0x8000;

constexpr uint16_t kAddress15 = 15;
constexpr uint8_t kAddress15Value = 0xFF;

}  // namespace

StepResult UpdateEngine::ExchangeResult(LinkResult result)
{
    if (result.ok())
        return StepResult::Done();
    // Nothing was sent for a request that cannot be framed, so the port then
    // stays as it was.
    if (result.failure != LinkFailure::CountTooLarge)
        Port.AfterFailedExchange();
    return StepResult::Failed(StepFailure::LinkFailed, result.text());
}

void UpdateEngine::RestorePort()
{
    if (Port.Restore(stop_) != PortRestore::Reopened)
        return;
    ++LastRecord.Reopens;
    window_.LogLine(kPortReconnected);
}

StepResult UpdateEngine::NormalizeEepromWord()
{
    uint8_t stored[2] = {};
    const StepResult read = ExchangeResult(Requests.ReadEeprom(kNormalizedWordAddress, stored, sizeof stored));
    if (read.failed())
        return read;
    uint16_t word = static_cast<uint16_t>(stored[0] | stored[1] << 8);
    if (word > kWordHighest || word < kWordLowest)
        word = kWordReplacement;
    // Written back even when unchanged.
    const uint8_t written[2] = {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)};
    return ExchangeResult(Requests.WriteEeprom(kNormalizedWordAddress, written, sizeof written));
}

StepResult UpdateEngine::WriteAddress15()
{
    const uint8_t value = kAddress15Value;
    return ExchangeResult(Requests.WriteEeprom(kAddress15, &value, 1));
}

StepResult UpdateEngine::DownloadEeprom()
{
    const uint32_t end = Image.ImageEnd;
    // Without an EEPROM part in the working image there is nothing sound to
    // write; say so rather than report an empty download as done.
    if (end < kEepromImageStart || end >= Image.ImageBuffer.size())
        return StepResult::Failed(StepFailure::NoImagePart);

    window_.SetGaugeProgress(0);
    window_.SetGaugeMaximum(static_cast<int>(end - kEepromImageStart));
    // Counts every failed attempt of this download (and of a read-back after
    // it), never reset between chunks.
    eeprom_retries_ = 0;
    for (uint32_t offset = kEepromImageStart; offset <= end; offset += kEepromChunkLength) {
        window_.SetGaugeProgress(static_cast<int>(offset - kEepromImageStart));
        window_.RepaintGauge();
        window_.PumpMessages();

        const StepResult chunk = EepromAttempts([&] { return WriteEepromChunk(offset); });
        if (chunk.failed())
            return chunk;
        window_.SetFieldText(Field::Address, std::to_string(offset - kEepromImageOffset));
    }
    return StepResult::Done();
}

StepResult UpdateEngine::WriteEepromChunk(uint32_t offset)
{
    // The last chunk is sent whole, with what the buffer holds past ImageEnd.
    EepromBytesAt(Image, offset, BlockBuffer, kEepromChunkLength);
    // The wire address is the low 16 bits of the offset: 0x24000 goes out as 0x4000.
    return ExchangeResult(Requests.WriteEeprom(static_cast<uint16_t>(offset & 0xFFFF), BlockBuffer,
                                               static_cast<uint8_t>(kEepromChunkLength)));
}

StepResult UpdateEngine::EepromAttempts(const std::function<StepResult()>& exchange)
{
    StepResult result = StepResult::Done();
    for (int attempt = 0; attempt < kEepromChunkAttempts; ++attempt) {
        if (StopRequested())
            return StepResult::Failed(StepFailure::Stopped);
        result = exchange();
        if (result.ok())
            break;
        RetryEepromExchange(attempt + 1 < kEepromChunkAttempts);
    }
    return result;
}

void UpdateEngine::RetryEepromExchange(bool another_attempt)
{
    ++LastRecord.Failed.Eeprom;
    ++eeprom_retries_;
    window_.SetFieldText(Field::ErrorCounter, std::to_string(eeprom_retries_));
    window_.PumpMessages();
    // An adapter that dropped out is waited for; the same exchange goes again.
    if (another_attempt)
        RestorePort();
}

}  // namespace varnox
