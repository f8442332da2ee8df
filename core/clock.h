#pragma once
// Time as the update sees it: a monotonic "now" and a blocking pause.
// Injected everywhere a wait happens, so that tests can run whole updates in
// simulated time while every wait keeps its specified length.

namespace varnox {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since an arbitrary origin, never going backwards.
    virtual double Now() = 0;
    // Blocks the calling thread for the given number of milliseconds.
    virtual void Pause(int milliseconds) = 0;
};

// The real clock: CLOCK_MONOTONIC (std::chrono::steady_clock) and a real sleep.
class SteadyClock final : public Clock {
public:
    double Now() override;
    void Pause(int milliseconds) override;
};

// Simulated time: Pause advances time without sleeping. Devices of the
// simulated link advance it too while they "wait" for bytes.
class SimClock final : public Clock {
public:
    double Now() override { return now_; }
    void Pause(int milliseconds) override { now_ += milliseconds / 1000.0; }
    void Advance(double seconds)
    {
        if (seconds > 0)
            now_ += seconds;
    }
    void AdvanceTo(double t)
    {
        if (t > now_)
            now_ = t;
    }

private:
    double now_ = 1000.0;  // away from zero so "stamp 0" bugs show up
};

}  // namespace varnox
