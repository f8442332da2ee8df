// The EEPROM read-back (--fast, --verify-eeprom): after the download, the
// range it wrote is read back and compared with what was written. Each chunk
// found different is written again and read back, with a fresh 6 attempts
// (a read-back that still differs counts as a failed attempt); a difference
// left after them fails the EEPROM phase.

#include <algorithm>
#include <string>
#include <vector>

#include "update/eeprom_chunks.h"
#include "update/update_engine.h"
#include "update/update_texts.h"

namespace varnox {

namespace {

// Twelve chunks a read, within the 247 bytes a read may ask for.
constexpr uint32_t kReadBackLength = 240;

// A chunk that differs, and the first image offset in it that does.
struct Difference {
    uint32_t Chunk;
    uint32_t First;
};

std::string EepromAddressText(uint32_t offset)
{
    return std::to_string(offset - kEepromImageOffset);
}

uint16_t WireAddress(uint32_t offset)
{
    return static_cast<uint16_t>(offset & 0xFFFF);
}

}  // namespace

StepResult UpdateEngine::VerifyEeprom()
{
    window_.LogLine(kVerifyingEeprom);
    const uint32_t end = EepromWrittenEnd(Image);
    // The gauge runs over the range again, read by read.
    window_.SetGaugeProgress(0);
    window_.SetGaugeMaximum(static_cast<int>(end - kEepromImageStart));
    auto show = [this](uint32_t offset) {
        window_.SetGaugeProgress(static_cast<int>(offset - kEepromImageStart));
        window_.RepaintGauge();
        window_.PumpMessages();
    };

    std::vector<Difference> differences;
    uint8_t back[kReadBackLength];
    uint8_t written[kReadBackLength];
    for (uint32_t offset = kEepromImageStart; offset < end; offset += kReadBackLength) {
        show(offset);
        const auto count = static_cast<uint8_t>(std::min(kReadBackLength, end - offset));
        const StepResult read =
            EepromAttempts([&] { return ExchangeResult(Requests.ReadEeprom(WireAddress(offset), back, count)); });
        if (read.failed()) {
            if (read.kind != StepFailure::Stopped)
                window_.LogLine(read.text);
            return read;
        }
        EepromBytesAt(Image, offset, written, count);
        for (uint32_t i = 0; i < count; ++i) {
            if (back[i] == written[i])
                continue;
            const uint32_t at = offset + i;
            const uint32_t chunk = at - (at - kEepromImageStart) % kEepromChunkLength;
            if (differences.empty() || differences.back().Chunk != chunk)
                differences.push_back({chunk, at});
        }
        window_.SetFieldText(Field::Address, EepromAddressText(offset));
    }

    for (Difference& difference : differences) {
        show(difference.Chunk);
        const StepResult mended = EepromAttempts([&] {
            const StepResult write = WriteEepromChunk(difference.Chunk);
            if (write.failed())
                return write;
            uint8_t stored[kEepromChunkLength];
            const StepResult read = ExchangeResult(Requests.ReadEeprom(WireAddress(difference.Chunk), stored,
                                                                       static_cast<uint8_t>(kEepromChunkLength)));
            if (read.failed())
                return read;
            // BlockBuffer still holds what the write sent.
            const uint8_t* differs = std::mismatch(stored, stored + kEepromChunkLength, BlockBuffer).first;
            if (differs == stored + kEepromChunkLength)
                return StepResult::Done();
            difference.First = difference.Chunk + static_cast<uint32_t>(differs - stored);
            return StepResult::Failed(StepFailure::Differs);
        });
        if (mended.failed()) {
            if (mended.kind == StepFailure::Stopped)
                return mended;
            const std::string line = kEepromDiffers + EepromAddressText(difference.First);
            window_.LogLine(line);
            return StepResult::Failed(StepFailure::Differs, line);
        }
        window_.SetFieldText(Field::Address, EepromAddressText(difference.Chunk));
    }

    if (!differences.empty())
        window_.LogLine(kEepromRewritten + std::to_string(differences.size()));
    window_.LogLine(kEepromVerified);
    return StepResult::Done();
}

}  // namespace varnox
