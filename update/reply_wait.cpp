#include "update/reply_wait.h"

#include <cmath>

#include "core/time_stamp.h"

namespace varnox {

namespace {

// One millisecond past the limit: elapsed time is measured to the
// millisecond, and a reply exactly at the limit is still in time.
constexpr double kPastLimit = 0.001;

bool Satisfies(long waiting, const ReplyRule& rule)
{
    return rule.Exactly ? waiting == rule.Bytes : waiting >= rule.Bytes;
}

}  // namespace

bool ReplyArrived(SerialPort& port, Clock& clock, double stamp, const ReplyRule& rule)
{
    for (;;) {
        const long waiting = port.BytesWaiting();
        if (Satisfies(waiting, rule))
            return true;
        const double elapsed = SecondsSince(clock, stamp);
        if (elapsed > rule.Limit)
            return false;
        const double remaining = rule.Limit - elapsed + kPastLimit;
        const WaitResult result = port.WaitForInput(clock, waiting, remaining);
        const bool stalled = result == WaitResult::TimedOut && SecondsSince(clock, stamp) <= elapsed;
        if (result == WaitResult::Gone || stalled) {
            // A vanished device wakes every wait at once, and a wait that let
            // no time pass would do the same: sleep out the deadline instead
            // of spinning on it.
            clock.Pause(static_cast<int>(std::ceil(remaining * 1000.0)));
        }
    }
}

}  // namespace varnox
