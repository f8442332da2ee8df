#pragma once
// How in-process tests run the engine: the carried stand-ins may be written
// (as the demo and the program-level tests allow them), no run record goes
// into the real home, and no hold on the real system's sleep is taken.

#include <memory>

#include "update/update_engine.h"

namespace varnox::testing {

inline void PrepareForTests(UpdateEngine& engine)
{
    engine.Options.AllowStandIn = true;
    engine.Options.NoRecord = true;
    engine.SleepInhibitors = [] { return std::unique_ptr<SleepInhibitor>(); };
}

}  // namespace varnox::testing
