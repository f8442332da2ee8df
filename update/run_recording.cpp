// What a run leaves in the run record: gathered as the run goes, appended
// once it has ended. A record that cannot be written never fails the run.

#include <chrono>

#include "firmware/image_provenance.h"
#include "record/record_file.h"
#include "update/update_engine.h"

namespace varnox {

namespace {

const char* EndingToken(UpdateEnding ending)
{
    switch (ending) {
    case UpdateEnding::Completed: return run_ending::kCompleted;
    case UpdateEnding::ReleaseRejected: return run_ending::kReleaseRejected;
    case UpdateEnding::NoFirmware: return run_ending::kNoFirmware;
    case UpdateEnding::StandInRefused: return run_ending::kStandInRefused;
    case UpdateEnding::EepromFailed: return run_ending::kEepromFailed;
    case UpdateEnding::HandshakeFailed: return run_ending::kHandshakeFailed;
    case UpdateEnding::MicroKernelFailed: return run_ending::kMicroKernelFailed;
    case UpdateEnding::FlashFailed: return run_ending::kFlashFailed;
    case UpdateEnding::Interrupted: return run_ending::kInterrupted;
    case UpdateEnding::NotRun:
    case UpdateEnding::Refused:
    case UpdateEnding::IdentityReadFailed: break;
    }
    return run_ending::kIdentityReadFailed;
}

const char* VerificationToken(Verification verification)
{
    switch (verification) {
    case Verification::Verified: return run_verification::kVerified;
    case Verification::NoAnswer: return run_verification::kNoAnswer;
    case Verification::OtherFirmware: return run_verification::kOtherFirmware;
    case Verification::NotRun: break;
    }
    return run_verification::kNotRun;
}

}  // namespace

void UpdateEngine::BeginRecord()
{
    identity_read_ = false;
    run_start_ = clock_.Now();
    LastVerification.store(Verification::NotRun);
    LastRecord = RunRecord{};
    LastRecord.Start = std::chrono::system_clock::now();
    LastRecord.Program = ProgramName;
    LastRecord.Version = std::string(ProgramVersion());
    const int port = SelectedPort.load();
    LastRecord.Port = PortName.empty() ? "COM" + std::to_string(port) : PortName;
    if (std::string device = Opener().DeviceName(port); !device.empty())
        LastRecord.Adapter = std::move(device);
}

void UpdateEngine::EndRecord(UpdateEnding ending)
{
    // The end as the run's own clock has it, so a run in simulated time lasts as long as it says.
    const auto lasted = std::chrono::duration<double>(clock_.Now() - run_start_);
    LastRecord.End = LastRecord.Start + std::chrono::duration_cast<std::chrono::system_clock::duration>(lasted);
    LastRecord.Ending = EndingToken(ending);
    LastRecord.Verification = VerificationToken(LastVerification.load());
    LastRecord.ExitStatus = LastExitStatus.load();
    if (!identity_read_ || Options.NoRecord)
        return;

    std::string problem;
    if (!Options.RecordFile.empty()) {
        problem = AppendRecord(Options.RecordFile, LastRecord).Error;
    } else if (const auto file = DefaultRecordPath()) {
        problem = AppendRecord(*file, LastRecord).Error;
    } else {
        problem = NoDefaultRecordPathError();
    }
    if (problem.empty())
        return;
    if (RecordProblem)
        RecordProblem(problem);
    else
        window_.LogLine(problem);
}

}  // namespace varnox
