#include "protocol/input_wait.h"

#include <cmath>

#include "core/time_stamp.h"

namespace varnox {

namespace {

// One millisecond past a stamped limit: elapsed time is measured to the
// millisecond, and a reply exactly at the limit is still in time.
constexpr double kPastLimit = 0.001;

}  // namespace

double InputDeadline::Left(Clock& clock) const
{
    if (!stamped_)
        return at_ - clock.Now();
    const double elapsed = SecondsSince(clock, at_);
    return elapsed > limit_ ? 0.0 : limit_ - elapsed + kPastLimit;
}

long AwaitInput(SerialPort& port, Clock& clock, InputWanted wanted, const InputDeadline& deadline)
{
    for (;;) {
        const long waiting = port.BytesWaiting();
        if (wanted.SatisfiedBy(waiting))
            return waiting;
        const double left = deadline.Left(clock);
        if (left <= 0)
            return waiting;
        const WaitResult result = port.WaitForInput(clock, waiting, left);
        if (result == WaitResult::MoreInput)
            continue;
        // A vanished device wakes every wait at once, and a wait that let no
        // time pass would do the same: sleep out the deadline instead of spinning.
        if (const double rest = deadline.Left(clock); rest > 0 && (result == WaitResult::Gone || rest >= left))
            clock.Pause(static_cast<int>(std::ceil(rest * 1000.0)));
    }
}

}  // namespace varnox
