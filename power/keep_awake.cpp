#include "power/keep_awake.h"

namespace varnox {

KeepAwake::KeepAwake() : owned_(SystemSleepInhibitor()), inhibitor_(*owned_)
{
    status_ = inhibitor_.Take(why_not_);
}

KeepAwake::KeepAwake(SleepInhibitor& inhibitor) : inhibitor_(inhibitor)
{
    status_ = inhibitor_.Take(why_not_);
}

KeepAwake::~KeepAwake()
{
    if (Taken())
        inhibitor_.Release();
}

}  // namespace varnox
