#pragma once
// What the stop events do to an update: stopping half way can leave the panel
// without a working program, so a Ctrl-C only warns and a second one within
// the confirmation window stops; a terminate request stops at once. A stopped
// engine gets a grace time to close the port itself before the tool leaves
// without it.

#include <optional>

#include "cli/stop_events.h"

namespace varnox {

inline constexpr double kInterruptConfirmSeconds = 3.0;
// A stopped engine leaves at its next boundary, well within a second; this
// only guards against a device that blocks for good.
inline constexpr double kStopGraceSeconds = 10.0;

class StopPolicy {
public:
    enum class Decision { Ignore, Warn, Stop };
    // `now`: seconds on a monotonic clock. Events after the stop are ignored.
    Decision OnEvent(StopEvent event, double now);
    // The stop's grace time has run out.
    bool Overdue(double now) const;
    // The run's own status (update/exit_status.h), unless a stop was decided:
    // then StoppedStatus().
    int ExitStatus(int run_status) const;
    // 128 + the signal's number: 130 for Ctrl-C, 143 for a terminate request.
    int StoppedStatus() const;

private:
    std::optional<double> warned_at_;
    std::optional<StopEvent> stopped_by_;
    double deadline_ = 0;
};

}  // namespace varnox
