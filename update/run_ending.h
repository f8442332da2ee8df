#pragma once
// The ways a run ends, and what each one shows, leaves in the record and
// gives as the exit status. One table says it for every ending.

#include <string>
#include <vector>

namespace varnox {

// How the last run ended (for front-ends and tests; the window shows the same
// through its log, gauge and button).
enum class UpdateEnding {
    NotRun,
    Refused,  // a run was already under way
    IdentityReadFailed,
    ReleaseRejected,
    NoFirmware,
    StandInRefused,  // stand-in images and no --allow-stand-in
    EepromFailed,
    HandshakeFailed,
    MicroKernelFailed,
    FlashFailed,
    Completed,
    Interrupted,  // RequestStop ended the run early; the port is closed
};

// What the identity read after a completed run's restart found.
enum class Verification {
    NotRun,         // the run did not complete (or was stopped while verifying)
    Verified,       // the panel reports the written image's identity block
    NoAnswer,       // no readable answer within the verification's time
    OtherFirmware,  // the panel answers with another identity block
};

// What a run shows when it ends one way, before its port is closed.
struct EndingShape {
    // Log lines; nullptr stands for the ending's own text (a failed read's).
    std::vector<const char*> Lines;
    int PauseMs = 0;              // so that the lines can be read before the port is let go
    bool DisablesButton = false;  // the panel was written to: a new attempt needs a new start
    bool HidesGauge = false;      // the whole common end; otherwise the port is only closed
};

const EndingShape& ShapeOf(UpdateEnding ending);

// The run record's tokens (record/run_record.h).
const char* EndingToken(UpdateEnding ending);
const char* VerificationToken(Verification verification);

}  // namespace varnox
