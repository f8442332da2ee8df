#include "core/time_stamp.h"

#include <cmath>

namespace varnox {

// Stamps come from the injected monotonic clock, not the time of day, so a
// wait that spans midnight or a change of the wall clock stays bounded.
double TimeStamp(Clock& clock)
{
    return static_cast<double>(std::llround(clock.Now() * 1000.0)) / 1000.0;
}

double SecondsSince(Clock& clock, double stamp)
{
    return TimeStamp(clock) - stamp;
}

}  // namespace varnox
