#include "core/interruptible_clock.h"

#include <chrono>

namespace varnox {

void InterruptibleClock::Pause(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    // steady_clock: the wait is not fooled by a change of the wall clock.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_until(lock, deadline, [this] { return interrupted_; });
}

void InterruptibleClock::Interrupt()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
    }
    wake_.notify_all();
}

}  // namespace varnox
