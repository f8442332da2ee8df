#include "cli/stop_policy.h"

namespace varnox {

namespace {

// 128 + SIGINT and 128 + SIGTERM, the same on Windows.
constexpr int kInterruptedStatus = 130;
constexpr int kTerminatedStatus = 143;

}  // namespace

StopPolicy::Decision StopPolicy::OnEvent(StopEvent event, double now)
{
    if (stopped_by_)
        return Decision::Ignore;
    if (event == StopEvent::Interrupt && !(warned_at_ && now - *warned_at_ <= kInterruptConfirmSeconds)) {
        // A first press, or one too late to count as confirmation: it warns afresh.
        warned_at_ = now;
        return Decision::Warn;
    }
    stopped_by_ = event;
    deadline_ = now + kStopGraceSeconds;
    return Decision::Stop;
}

bool StopPolicy::Overdue(double now) const
{
    return stopped_by_ && now > deadline_;
}

int StopPolicy::ExitStatus(int run_status) const
{
    return stopped_by_ ? StoppedStatus() : run_status;
}

int StopPolicy::StoppedStatus() const
{
    return stopped_by_ == StopEvent::Terminate ? kTerminatedStatus : kInterruptedStatus;
}

}  // namespace varnox
