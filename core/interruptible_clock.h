#pragma once
// The real clock, with pauses that a stop request cuts short, so that a
// stopped update leaves its 8-second waits at once instead of sitting them out.

#include <condition_variable>
#include <mutex>

#include "core/clock.h"

namespace varnox {

class InterruptibleClock final : public Clock {
public:
    double Now() override { return steady_.Now(); }
    // Sleeps the full time unless Interrupt() is called first or during it.
    void Pause(int milliseconds) override;
    // Every pause from now on returns at once. Any thread.
    void Interrupt();

private:
    SteadyClock steady_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool interrupted_ = false;
};

}  // namespace varnox
