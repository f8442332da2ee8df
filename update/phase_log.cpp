#include "update/phase_log.h"

#include <algorithm>
#include <cmath>

namespace varnox {

void PhaseLog::Begin(const char* name)
{
    End();
    PhaseRecord phase;
    phase.Name = name;
    phase.Start = phase.End = Seconds();
    phases_.push_back(std::move(phase));
    open_ = true;
}

void PhaseLog::End()
{
    if (PhaseRecord* phase = Current())
        phase->End = Seconds();
    open_ = false;
}

double PhaseLog::Seconds() const
{
    return std::round((clock_.Now() - origin_) * 1000.0) / 1000.0;
}

PhaseRecord* PhaseLog::Current()
{
    return open_ ? &phases_.back() : nullptr;
}

void PhaseLog::Failed(const std::string& kind, const std::string& words)
{
    PhaseRecord* phase = Current();
    if (!phase)
        return;
    phase->FailedAt.push_back(Seconds());
    auto same = std::find_if(phase->Failures.begin(), phase->Failures.end(),
                             [&](const FailureCount& failure) { return failure.Kind == kind; });
    if (same == phase->Failures.end())
        same = phase->Failures.insert(phase->Failures.end(), FailureCount{kind, 0, {}});
    ++same->Count;
    same->LastText = words;
}

void PhaseLog::Reconnected()
{
    ++reconnections_;
    if (PhaseRecord* phase = Current())
        phase->ReconnectedAt.push_back(Seconds());
}

int PhaseLog::FailuresOf(const char* name) const
{
    int count = 0;
    for (const PhaseRecord& phase : phases_)
        if (phase.Name == name)
            count += static_cast<int>(phase.FailedAt.size());
    return count;
}

}  // namespace varnox
