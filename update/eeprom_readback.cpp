// The EEPROM read-back (--fast, --verify-eeprom): after the download, the
// range it wrote is read back and compared with what was written. Each chunk
// found different is written again and read back, with a fresh 6 attempts
// (a read-back that still differs counts as a failed attempt); a difference
// left after them fails the EEPROM phase.

#include <algorithm>
#include <string>
#include <vector>

#include "update/eeprom_phase.h"
#include "update/update_run.h"
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

}  // namespace

StepResult EepromPhase::VerifyEeprom()
{
    WindowOps& window = run_.Window;
    window.LogLine(kVerifyingEeprom);
    const uint32_t end = EepromWrittenEnd(run_.Image);
    // The gauge runs over the range again, read by read.
    window.SetGaugeProgress(0);
    window.SetGaugeMaximum(static_cast<int>(end - kEepromImageStart));

    std::vector<Difference> differences;
    uint8_t back[kReadBackLength];
    uint8_t written[kReadBackLength];
    for (uint32_t offset = kEepromImageStart; offset < end; offset += kReadBackLength) {
        ShowProgress(offset);
        const auto count = static_cast<uint8_t>(std::min(kReadBackLength, end - offset));
        const StepResult read = Attempts("read-back at " + EepromAddressText(offset), [&] {
            return run_.Exchanged(run_.Requests.ReadEeprom(EepromWireAddress(offset), back, count));
        });
        if (read.failed()) {
            if (read.kind != StepFailure::Stopped)
                window.LogLine(read.text);
            return read;
        }
        EepromBytesAt(run_.Image, offset, written, count);
        for (uint32_t i = 0; i < count; ++i) {
            if (back[i] == written[i])
                continue;
            const uint32_t at = offset + i;
            const uint32_t chunk = at - (at - kEepromImageStart) % kEepromChunkLength;
            if (differences.empty() || differences.back().Chunk != chunk)
                differences.push_back({chunk, at});
        }
        window.SetFieldText(Field::Address, EepromAddressText(offset));
    }

    for (Difference& difference : differences) {
        ShowProgress(difference.Chunk);
        const StepResult mended = Attempts("chunk again at " + EepromAddressText(difference.Chunk),
                                           [&] { return RewriteChunk(difference.Chunk, difference.First); });
        if (mended.failed()) {
            if (mended.kind == StepFailure::Stopped)
                return mended;
            const std::string line = kEepromDiffers + EepromAddressText(difference.First);
            window.LogLine(line);
            return StepResult::Failed(StepFailure::Differs, line);
        }
        window.SetFieldText(Field::Address, EepromAddressText(difference.Chunk));
    }

    if (!differences.empty())
        window.LogLine(kEepromRewritten + std::to_string(differences.size()));
    window.LogLine(kEepromVerified);
    return StepResult::Done();
}

StepResult EepromPhase::RewriteChunk(uint32_t offset, uint32_t& first_difference)
{
    if (const StepResult write = WriteChunk(offset); write.failed())
        return write;
    uint8_t stored[kEepromChunkLength];
    const StepResult read = run_.Exchanged(
        run_.Requests.ReadEeprom(EepromWireAddress(offset), stored, static_cast<uint8_t>(kEepromChunkLength)));
    if (read.failed())
        return read;
    // The chunk still holds what the write sent.
    const uint8_t* differs = std::mismatch(stored, stored + kEepromChunkLength, chunk_.begin()).first;
    if (differs == stored + kEepromChunkLength)
        return StepResult::Done();
    first_difference = offset + static_cast<uint32_t>(differs - stored);
    return StepResult::Failed(StepFailure::Differs, "differs at " + EepromAddressText(first_difference));
}

}  // namespace varnox
