// Stop events on Windows: Ctrl-C, Ctrl-Break and the console closing arrive
// through a console control handler, on a thread the system starts for it.

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "cli/stop_events.h"

namespace varnox {

namespace {

// Windows ends the process some 5 s after a console close; the engine gets
// most of that to close the port.
constexpr auto kCloseWait = std::chrono::milliseconds(4000);

// What the control handler hands to the main thread.
struct ControlEvents {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<StopEvent> events;  // in arrival order
    bool ended = false;
};

// The handler is a plain function on the system's thread, which may still
// run after the update has ended: the state it reaches lives as long as the
// program. There is one run per process.
ControlEvents g_control;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    std::unique_lock<std::mutex> lock(g_control.mutex);
    g_control.events.push_back(event == CTRL_C_EVENT ? StopEvent::Interrupt : StopEvent::Terminate);
    g_control.changed.notify_all();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE;
    // The console is going away and takes the process with it once this
    // returns: let the engine close the port first.
    g_control.changed.wait_for(lock, kCloseWait, [] { return g_control.ended; });
    return TRUE;
}

class ConsoleControlStopEvents final : public StopEventSource {
public:
    bool Start() override { return SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0; }

    Wake Wait(int timeout_ms, std::vector<StopEvent>& events) override
    {
        std::unique_lock<std::mutex> lock(g_control.mutex);
        g_control.changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                   [] { return g_control.ended || !g_control.events.empty(); });
        if (g_control.ended)
            return Wake::Ended;
        events.insert(events.end(), g_control.events.begin(), g_control.events.end());
        g_control.events.clear();
        return Wake::Watching;
    }

    void UpdateEnded() override
    {
        std::lock_guard<std::mutex> lock(g_control.mutex);
        g_control.ended = true;
        g_control.changed.notify_all();
    }
};

}  // namespace

std::unique_ptr<StopEventSource> SystemStopEvents()
{
    return std::make_unique<ConsoleControlStopEvents>();
}

}  // namespace varnox
