#include "core/gauge_percent.h"

#include <algorithm>

namespace varnox {

int GaugePercent(long long progress, long long maximum)
{
    if (maximum <= 0)
        return 0;
    progress = std::clamp(progress, 0LL, maximum);
    return static_cast<int>(progress * 100 / maximum);
}

std::string GaugeText(long long progress, long long maximum)
{
    return std::to_string(GaugePercent(progress, maximum)) + "%";
}

}  // namespace varnox
