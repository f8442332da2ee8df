#include "update/eeprom_phase.h"

#include <string>

#include "update/update_run.h"

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

StepResult EepromPhase::Run()
{
    // The word and byte 15 get one attempt each; the download counts its own.
    const auto once = [this](StepResult step, const char* what) {
        if (step.kind == StepFailure::LinkFailed)
            run_.AttemptFailed(step, what);
        return step;
    };
    if (StepResult word = once(NormalizeEepromWord(), "word at 0x2820"); word.failed())
        return word;
    if (StepResult byte = once(WriteAddress15(), "byte 15"); byte.failed())
        return byte;
    if (StepResult download = DownloadEeprom(); download.failed())
        return download;
    return run_.Options.ReadsEepromBack() ? VerifyEeprom() : StepResult::Done();
}

StepResult EepromPhase::NormalizeEepromWord()
{
    uint8_t stored[2] = {};
    const StepResult read =
        run_.Exchanged(run_.Requests.ReadEeprom(kNormalizedWordAddress, stored, sizeof stored));
    if (read.failed())
        return read;
    uint16_t word = static_cast<uint16_t>(stored[0] | stored[1] << 8);
    if (word > kWordHighest || word < kWordLowest)
        word = kWordReplacement;
    // Written back even when unchanged.
    const uint8_t written[2] = {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)};
    return run_.Exchanged(run_.Requests.WriteEeprom(kNormalizedWordAddress, written, sizeof written));
}

StepResult EepromPhase::WriteAddress15()
{
    const uint8_t value = kAddress15Value;
    return run_.Exchanged(run_.Requests.WriteEeprom(kAddress15, &value, 1));
}

StepResult EepromPhase::DownloadEeprom()
{
    WindowOps& window = run_.Window;
    const uint32_t end = run_.Image.ImageEnd;
    // Without an EEPROM part in the working image there is nothing sound to
    // write; say so rather than report an empty download as done.
    if (end < kEepromImageStart || end >= run_.Image.ImageBuffer.size())
        return StepResult::Failed(StepFailure::NoImagePart);

    window.SetGaugeProgress(0);
    window.SetGaugeMaximum(static_cast<int>(end - kEepromImageStart));
    retries_ = 0;
    for (uint32_t offset = kEepromImageStart; offset <= end; offset += kEepromChunkLength) {
        ShowProgress(offset);
        const StepResult chunk =
            Attempts("chunk at " + EepromAddressText(offset), [&] { return WriteChunk(offset); });
        if (chunk.failed())
            return chunk;
        window.SetFieldText(Field::Address, EepromAddressText(offset));
    }
    return StepResult::Done();
}

void EepromPhase::ShowProgress(uint32_t offset)
{
    run_.Window.SetGaugeProgress(static_cast<int>(offset - kEepromImageStart));
    run_.Window.RepaintGauge();
}

StepResult EepromPhase::WriteChunk(uint32_t offset)
{
    // The last chunk is sent whole, with what the buffer holds past ImageEnd.
    EepromBytesAt(run_.Image, offset, chunk_.data(), chunk_.size());
    // The wire address is the low 16 bits of the offset: 0x24000 goes out as 0x4000.
    return run_.Exchanged(
        run_.Requests.WriteEeprom(EepromWireAddress(offset), chunk_.data(), static_cast<uint8_t>(chunk_.size())));
}

StepResult EepromPhase::Attempts(const std::string& what, const std::function<StepResult()>& exchange)
{
    StepResult result = StepResult::Done();
    for (int attempt = 1; attempt <= kEepromChunkAttempts; ++attempt) {
        if (run_.Stopped())
            return StepResult::Failed(StepFailure::Stopped);
        result = exchange();
        if (result.ok())
            break;
        run_.AttemptFailed(
            result, what + ", attempt " + std::to_string(attempt) + " of " + std::to_string(kEepromChunkAttempts));
        ++retries_;
        run_.Window.SetFieldText(Field::ErrorCounter, std::to_string(retries_));
        // An adapter that dropped out is waited for; the same exchange goes again.
        if (attempt < kEepromChunkAttempts)
            run_.RestorePort();
    }
    return result;
}

}  // namespace varnox
