#include "cli/interrupt_policy.h"

namespace varnox {

InterruptPolicy::Decision InterruptPolicy::OnInterrupt(double now)
{
    if (warned_at_ && now - *warned_at_ <= kInterruptConfirmSeconds) return Decision::Stop;
    // Too late to count as confirmation: this press warns afresh.
    warned_at_ = now;
    return Decision::Warn;
}

}  // namespace varnox
