#include "update/exit_status.h"

namespace varnox {

int ExitStatusOf(UpdateEnding ending, Verification verification)
{
    switch (ending) {
    case UpdateEnding::Completed: return verification == Verification::Verified ? kExitVerified : kExitNotVerified;
    case UpdateEnding::EepromFailed:
    case UpdateEnding::HandshakeFailed:
    case UpdateEnding::MicroKernelFailed:
    case UpdateEnding::FlashFailed: return kExitPanelChanged;
    case UpdateEnding::Interrupted: return kStoppedExitStatus;
    case UpdateEnding::NotRun:
    case UpdateEnding::Refused:
    case UpdateEnding::IdentityReadFailed:
    case UpdateEnding::ReleaseRejected:
    case UpdateEnding::NoFirmware:
    case UpdateEnding::StandInRefused: break;
    }
    return kExitPanelUnchanged;
}

}  // namespace varnox
