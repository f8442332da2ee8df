#include "update/run_ending.h"

#include "record/run_record.h"
#include "update/exit_status.h"
#include "update/update_texts.h"

namespace varnox {

namespace {

struct EndingRow {
    UpdateEnding Ending;
    const char* Token;
    int ExitStatus;  // Completed's depends on the verification
    EndingShape Shape;
};

const std::vector<EndingRow>& Endings()
{
    static const std::vector<EndingRow> rows = {
        {UpdateEnding::IdentityReadFailed,
         run_ending::kIdentityReadFailed,
         kExitPanelUnchanged,
         {{"", nullptr, ""}}},
        {UpdateEnding::ReleaseRejected,
         run_ending::kReleaseRejected,
         kExitPanelUnchanged,
         {{"", kReleaseRejectedItalian, "", kReleaseRejectedEnglish, ""}}},
        {UpdateEnding::NoFirmware,
         run_ending::kNoFirmware,
         kExitPanelUnchanged,
         {{"", kNoFirmwareEnglish, "", kNoFirmwareItalian}, 3000}},
        // Nothing has been written yet: the no-firmware ending, without its pause.
        {UpdateEnding::StandInRefused,
         run_ending::kStandInRefused,
         kExitPanelUnchanged,
         {{"", kStandInItalian, kStandInEnglish}}},
        {UpdateEnding::EepromFailed,
         run_ending::kEepromFailed,
         kExitPanelChanged,
         {{"", kEepromError, kProgrammingEnd}, 0, true, true}},
        // The loader phase has said how it ended (its lines, or its box).
        {UpdateEnding::HandshakeFailed, run_ending::kHandshakeFailed, kExitPanelChanged, {{}, 0, false, true}},
        {UpdateEnding::MicroKernelFailed, run_ending::kMicroKernelFailed, kExitPanelChanged, {{}, 0, false, true}},
        {UpdateEnding::FlashFailed, run_ending::kFlashFailed, kExitPanelChanged, {{}, 0, false, true}},
        // Then the verification, on the still open port.
        {UpdateEnding::Completed, run_ending::kCompleted, kExitVerified, {{}, 0, false, true}},
        {UpdateEnding::Interrupted, run_ending::kInterrupted, kStoppedExitStatus, {{}, 0, false, true}},
    };
    return rows;
}

const EndingRow& RowOf(UpdateEnding ending)
{
    for (const EndingRow& row : Endings())
        if (row.Ending == ending)
            return row;
    // NotRun and Refused leave no record: they read as a failed identity read.
    return Endings().front();
}

}  // namespace

const EndingShape& ShapeOf(UpdateEnding ending)
{
    return RowOf(ending).Shape;
}

const char* EndingToken(UpdateEnding ending)
{
    return RowOf(ending).Token;
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

int ExitStatusOf(UpdateEnding ending, Verification verification)
{
    if (ending == UpdateEnding::Completed && verification != Verification::Verified)
        return kExitNotVerified;
    return RowOf(ending).ExitStatus;
}

}  // namespace varnox
