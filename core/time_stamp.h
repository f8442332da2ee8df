#pragma once
// Time stamps for reply deadlines: seconds on the injected monotonic clock,
// to the millisecond.

#include "core/clock.h"

namespace varnox {

double TimeStamp(Clock& clock);
double SecondsSince(Clock& clock, double stamp);

}  // namespace varnox
