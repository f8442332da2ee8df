#include "comm/output_drain.h"

#include <algorithm>
#include <chrono>

namespace varnox {

bool DrainOutputQueue(const std::function<long()>& queued, const std::function<void(double)>& pause,
                      double seconds, double step)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(std::max(seconds, 0.0)));
    for (;;) {
        const long left_to_send = queued();
        if (left_to_send == 0)
            return true;
        if (left_to_send < 0)
            return false;
        const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pause(std::min(left, step));
    }
}

}  // namespace varnox
