#pragma once
// The EEPROM phase: the word at 0x2820, the byte at 15, the EEPROM part of the
// working image in 20-byte chunks, and the read-back when the run asks for it.
// The phase owns the chunk it sends.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "update/eeprom_chunks.h"
#include "update/step_result.h"

namespace varnox {

class UpdateRun;

class EepromPhase {
public:
    explicit EepromPhase(UpdateRun& run) : run_(run) {}

    // The whole phase; its failed attempts are in the run's phase log.
    StepResult Run();

    StepResult NormalizeEepromWord();
    StepResult WriteAddress15();
    StepResult DownloadEeprom();
    // Reads the range the download wrote back and writes differing chunks
    // again (--fast, --verify-eeprom); logs its own lines.
    StepResult VerifyEeprom();

private:
    // One WriteEeprom of the chunk at image offset `offset`.
    StepResult WriteChunk(uint32_t offset);
    // The chunk written again and read back; Differs with the first image
    // offset that still differs in `first_difference`.
    StepResult RewriteChunk(uint32_t offset, uint32_t& first_difference);
    // The gauge at image offset `offset`, shown at once.
    void ShowProgress(uint32_t offset);
    // Up to 6 attempts of `exchange`; after each failed one the failure is
    // counted and shown, and a port whose adapter went away is brought back
    // when another attempt follows. `what` names the exchange for the log of failures.
    StepResult Attempts(const std::string& what, const std::function<StepResult()>& exchange);

    UpdateRun& run_;
    std::array<uint8_t, kEepromChunkLength> chunk_{};  // the chunk last sent
    int retries_ = 0;  // failed attempts of this download and its read-back, never reset between chunks
};

}  // namespace varnox
