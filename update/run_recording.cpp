// What a run leaves in the run record, filled in one place once it has ended.

#include <chrono>

#include "update/update_engine.h"
#include "update/update_run.h"

namespace varnox {

RunRecord RecordOf(const UpdateRun& run, RunRecord record, UpdateEnding ending, int exit_status, double now)
{
    // The end as the run's own clock has it, so a run in simulated time lasts as long as it says.
    const auto lasted = std::chrono::duration<double>(now - run.Started);
    record.End = record.Start + std::chrono::duration_cast<std::chrono::system_clock::duration>(lasted);
    record.IdentityBefore = run.IdentityBefore;
    record.FirmwareBefore = run.Firmware;
    record.Image = run.ChosenImage;
    record.IdentityAfter = run.IdentityAfter;
    const PhaseLog& phases = run.Phases;
    record.Failed = {phases.FailuresOf(phase::kEeprom), phases.FailuresOf(phase::kHandshake),
                     phases.FailuresOf(phase::kMicroKernel), phases.FailuresOf(phase::kFlash)};
    record.Reopens = phases.Reconnections();
    record.Phases = phases.Phases();
    record.Ending = EndingToken(ending);
    record.Verification = VerificationToken(run.Verified);
    record.ExitStatus = exit_status;
    return record;
}

}  // namespace varnox
