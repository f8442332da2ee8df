#pragma once
// One run's state without the engine around it, for tests that drive a phase
// (update/eeprom_phase.h, update/loader_phase.h) on its own.

#include <atomic>

#include "update/eeprom_phase.h"
#include "update/loader_phase.h"
#include "update/update_run.h"

namespace varnox::testing {

struct PhaseRun {
    PhaseRun(PortOpener& opener, Clock& clock, WindowOps& window)
        : port(opener, clock, window), run(port, clock, window, options, {}, stop)
    {
    }

    RunOptions options;
    std::atomic<bool> stop{false};
    PanelPort port;
    UpdateRun run;
};

}  // namespace varnox::testing
