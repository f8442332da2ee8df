#pragma once
// A bounded wait for a device's output queue to empty before it is closed:
// the system's own drain (tcdrain, a close with pending output) waits for
// as long as the driver likes, up to its 30 s closing wait on Linux.

#include <functional>

namespace varnox {

// Before a close, at most this long; a stuck adapter then loses what it holds.
inline constexpr double kDrainSeconds = 0.5;
inline constexpr double kDrainStepSeconds = 0.005;

// Looks at `queued()` (bytes still to send; negative when the device cannot
// say) until it is 0 or `seconds` have passed, pausing `pause(seconds)`
// between looks. True when the queue emptied.
bool DrainOutputQueue(const std::function<long()>& queued, const std::function<void(double)>& pause,
                      double seconds = kDrainSeconds, double step = kDrainStepSeconds);

}  // namespace varnox
