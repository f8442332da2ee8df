#include <cmath>

#include "comm/comm.h"

namespace varnox {

// Stamps come from the injected monotonic clock, not the time of day, so a
// wait that spans midnight or a change of the wall clock stays bounded.
double TimeOfDay(Clock& clock)
{
    return static_cast<double>(std::llround(clock.Now() * 1000.0)) / 1000.0;
}

double ElapsedSeconds(Clock& clock, double stamp)
{
    return TimeOfDay(clock) - stamp;
}

}  // namespace varnox
