#pragma once
// The Windows hold: SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED)
// for the run, ES_CONTINUOUS alone at the end. Free of windows.h, so that its
// logic is tested on Linux too.

#include <cstdint>
#include <memory>

#include "power/keep_awake.h"

namespace varnox {

// The flag values of winbase.h (checked against it where it is included).
inline constexpr uint32_t kEsSystemRequired = 0x00000001u;
inline constexpr uint32_t kEsContinuous = 0x80000000u;

// SetThreadExecutionState; the system call in the program, fakes in tests.
class ExecutionStateApi {
public:
    virtual ~ExecutionStateApi() = default;
    // The previous state, 0 when the call failed.
    virtual uint32_t SetThreadExecutionState(uint32_t flags) = 0;
};

class ExecutionStateInhibitor : public SleepInhibitor {
public:
    explicit ExecutionStateInhibitor(std::unique_ptr<ExecutionStateApi> api);
    AwakeStatus Take(std::string& why) override;
    void Release() override;

private:
    std::unique_ptr<ExecutionStateApi> api_;
};

}  // namespace varnox
