#pragma once
// What Gauge1 shows in both windows.

#include <string>

namespace varnox {

// progress × 100 / maximum, truncated; progress is held within 0..maximum
// and a maximum of 0 or less gives 0.
int GaugePercent(long long progress, long long maximum);
// The text drawn in the bar, e.g. "37%".
std::string GaugeText(long long progress, long long maximum);

}  // namespace varnox
