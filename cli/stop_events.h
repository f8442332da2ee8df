#pragma once
// The requests to stop that reach the console tool during an update, as the
// portable runner sees them. Where they come from is the platform's part:
// signals on Linux, a console control handler on Windows.

#include <memory>
#include <vector>

namespace varnox {

enum class StopEvent {
    Interrupt,  // Ctrl-C
    Terminate,  // SIGTERM; on Windows Ctrl-Break or the console closing
};

class StopEventSource {
public:
    enum class Wake {
        Watching,  // events may have arrived, or the time ran out
        Ended,     // the update has returned
        Lost,      // events can no longer be watched; only the end is left to wait for
    };

    virtual ~StopEventSource() = default;
    // Starts delivering events; false when that is impossible, and the update
    // then runs to its end without them.
    virtual bool Start() = 0;
    // Waits at most `timeout_ms` for events or the update's end; appends the
    // events that arrived to `events`, oldest first. The end wins over events
    // that arrived with it.
    virtual Wake Wait(int timeout_ms, std::vector<StopEvent>& events) = 0;
    // The worker's word that the update has returned. Any thread.
    virtual void UpdateEnded() = 0;
};

// The platform's source. On Linux it blocks the signals it takes, so create
// it before any thread is started: every thread inherits the mask.
std::unique_ptr<StopEventSource> SystemStopEvents();

}  // namespace varnox
