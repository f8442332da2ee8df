#pragma once
// Runs one update for the console tool: the update works on a worker thread
// while the main thread turns stop events into warnings or a stop (see
// StopPolicy) and redraws the status line once a second. A stop is handed to
// the update, which closes the port itself at its next boundary, so nothing
// closes the port under it; only an update that overruns its grace time is
// left behind, by ending the process.

#include <functional>

#include "cli/console_window.h"
#include "cli/stop_events.h"
#include "core/clock.h"
#include "update/update_engine.h"

namespace varnox {

struct UpdateWork {
    std::function<int()> run;  // on the worker thread; the run's exit status
    // From the main thread, at most once, with the status the stop gives (130 or 143).
    std::function<void(int exit_status)> stop;
    // The exit status of a run that an exception ended: what the panel had
    // reached. Unset: the panel counts as changed, the answer that is never
    // wrongly reassuring.
    std::function<int()> failed = nullptr;
};

// The engine's run as work: a stop also cuts the engine's pauses short
// through `interrupt_pauses`.
UpdateWork EngineWork(UpdateEngine& engine, std::function<void()> interrupt_pauses);

// Returns the process's exit status (StopPolicy::ExitStatus). `clock` times
// the confirmation window and the grace time. An exception escaping the run
// ends it with one line on standard error and `work.failed`'s status.
int RunGuardedUpdate(const UpdateWork& work, Clock& clock, ConsoleWindow& window, StopEventSource& stops);

}  // namespace varnox
