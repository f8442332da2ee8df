#pragma once
// Keeps the machine from sleeping while an update runs: the hold is taken
// when a KeepAwake is made and released when it goes.

#include <memory>
#include <string>

namespace varnox {

enum class AwakeStatus {
    Taken,        // the machine stays awake until the release
    Unavailable,  // nothing to ask on this system (no system bus, no logind): worth no message
    Failed,       // the system refused; WhyNot() says why
};

// The operating system's side of the hold: one per platform, fakes in tests.
class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // Asks the system to stay awake; unless Taken, `why` says why not.
    virtual AwakeStatus Take(std::string& why) = 0;
    // Ends the hold of a Take that returned Taken.
    virtual void Release() = 0;
};

// The platform's inhibitor: a logind inhibitor lock on Linux,
// SetThreadExecutionState on Windows.
std::unique_ptr<SleepInhibitor> SystemSleepInhibitor();

// Take it on the thread that runs the update and let it go on that thread:
// on Windows the hold belongs to the thread that took it.
class KeepAwake {
public:
    KeepAwake();  // with SystemSleepInhibitor()
    explicit KeepAwake(SleepInhibitor& inhibitor);
    ~KeepAwake();
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;

    bool Taken() const { return status_ == AwakeStatus::Taken; }
    AwakeStatus Status() const { return status_; }
    // Why the hold was not taken; empty when it was.
    const std::string& WhyNot() const { return why_not_; }

private:
    std::unique_ptr<SleepInhibitor> owned_;
    SleepInhibitor& inhibitor_;
    AwakeStatus status_ = AwakeStatus::Failed;
    std::string why_not_;
};

}  // namespace varnox
