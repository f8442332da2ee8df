#pragma once
// What Ctrl-C does during an update: stopping half way can leave the panel
// without a working program, so the first press only warns; a second press
// within the confirmation window stops the update.

#include <optional>

namespace varnox {

inline constexpr double kInterruptConfirmSeconds = 3.0;

class InterruptPolicy {
public:
    enum class Decision { Warn, Stop };
    // `now`: seconds on a monotonic clock.
    Decision OnInterrupt(double now);

private:
    std::optional<double> warned_at_;
};

}  // namespace varnox
