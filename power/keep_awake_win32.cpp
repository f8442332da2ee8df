// The Windows system call behind ExecutionStateInhibitor.

#include <windows.h>

#include "power/execution_state_inhibitor.h"

namespace varnox {
namespace {

static_assert(kEsContinuous == ES_CONTINUOUS);
static_assert(kEsSystemRequired == ES_SYSTEM_REQUIRED);

class Win32ExecutionState : public ExecutionStateApi {
public:
    uint32_t SetThreadExecutionState(uint32_t flags) override { return ::SetThreadExecutionState(flags); }
};

}  // namespace

std::unique_ptr<SleepInhibitor> SystemSleepInhibitor()
{
    return std::make_unique<ExecutionStateInhibitor>(std::make_unique<Win32ExecutionState>());
}

}  // namespace varnox
