#include "power/execution_state_inhibitor.h"

namespace varnox {

ExecutionStateInhibitor::ExecutionStateInhibitor(std::unique_ptr<ExecutionStateApi> api) : api_(std::move(api)) {}

AwakeStatus ExecutionStateInhibitor::Take(std::string& why)
{
    if (api_->SetThreadExecutionState(kEsContinuous | kEsSystemRequired) == 0) {
        why = "SetThreadExecutionState refused to keep the system awake";
        return AwakeStatus::Failed;
    }
    return AwakeStatus::Taken;
}

void ExecutionStateInhibitor::Release()
{
    api_->SetThreadExecutionState(kEsContinuous);
}

}  // namespace varnox
