#pragma once
// The console tools' exit status: one meaning each. The run record gives the
// same number for every program, so records of the windows read alike.

#include "update/update_engine.h"

namespace varnox {

inline constexpr int kExitVerified = 0;        // completed, and the panel reports the new firmware
inline constexpr int kExitPanelUnchanged = 1;  // not completed; nothing was written
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPanelChanged = 3;  // not completed; the panel was written to
inline constexpr int kExitNotVerified = 4;   // completed, but the panel did not confirm it
// 130 (Ctrl-C) and 143 (a terminate request) come from the stop, not from here.

// A run's status from its ending; Interrupted gives kStoppedExitStatus.
int ExitStatusOf(UpdateEnding ending, Verification verification);

}  // namespace varnox
