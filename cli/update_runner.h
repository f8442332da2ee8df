#pragma once
// Runs one update for the console tool: the engine works on a worker thread
// while the main thread waits for the worker's end and for signals. A stop
// (a confirmed Ctrl-C, or SIGTERM) is handed to the engine, which closes the
// port itself at its next boundary, so nothing closes the port under it.

#include "cli/console_window.h"
#include "cli/interruptible_clock.h"
#include "update/update_engine.h"

namespace varnox {

// SIGINT, SIGTERM and SIGHUP are taken by the main thread. Block them before
// any thread is started, so that every thread inherits the mask.
void BlockHandledSignals();

// The process's exit status for an ending: 0 only when the update completed;
// 128 + the signal when a signal stopped it.
int ExitStatus(UpdateEnding ending, int stop_signal);

// Runs engine.Run() and returns the exit status.
int RunSupervised(UpdateEngine& engine, InterruptibleClock& clock, ConsoleWindow& window);

}  // namespace varnox
