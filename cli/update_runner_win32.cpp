// The console tool's supervision on Windows: Ctrl-C and Ctrl-Break arrive
// through a console control handler, on a thread the system starts for it.

#include <windows.h>

#include <csignal>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "cli/interrupt_policy.h"
#include "cli/update_runner.h"

namespace varnox {

namespace {

// The status line's elapsed time moves once a second during long pauses.
constexpr auto kTick = std::chrono::milliseconds(1000);
// A stopped engine leaves at its next boundary, well within a second; this
// only guards against a device that blocks for good.
constexpr double kStopGraceSeconds = 10.0;
// Windows ends the process some 5 s after a console close; the engine gets
// most of that to close the port.
constexpr auto kCloseWait = std::chrono::milliseconds(4000);

const char* const kInterruptWarningItalian =
    "ATTENZIONE: interrompere l'aggiornamento può lasciare la centrale inutilizzabile.";
const char* const kInterruptWarningEnglish =
    "WARNING: interrupting the update can leave the panel unusable. "
    "Press Ctrl-C again within 3 s to stop it anyway.";
const char* const kStopping = "Stopping the update: closing the port...";
const char* const kStopStuck = "The update did not stop in time; leaving without it.";
const char* const kNoSupervision =
    "Cannot watch for Ctrl-C; the update runs to its end without it.";

// What the control handler hands to the main thread.
struct Supervision {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<int> signals;  // SIGINT or SIGTERM, in arrival order
    bool done = false;
};

// The handler is a plain function on the system's thread, which may still
// run after the update has ended: the state it reaches lives as long as the
// program. There is one run per process.
Supervision g_supervision;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    const int number = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    std::unique_lock<std::mutex> lock(g_supervision.mutex);
    g_supervision.signals.push_back(number);
    g_supervision.changed.notify_all();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE;
    // The console is going away and takes the process with it once this
    // returns: let the engine close the port first.
    g_supervision.changed.wait_for(lock, kCloseWait, [] { return g_supervision.done; });
    return TRUE;
}

}  // namespace

// Nothing to block: console control events never interrupt our threads.
void BlockHandledSignals() {}

int ExitStatus(UpdateEnding ending, int stop_signal)
{
    if (stop_signal != 0) return 128 + stop_signal;
    return ending == UpdateEnding::Completed ? 0 : 1;
}

int RunSupervised(UpdateEngine& engine, InterruptibleClock& clock, ConsoleWindow& window)
{
    Supervision& supervision = g_supervision;
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
        window.Notice({kNoSupervision});
        return ExitStatus(engine.Run(), 0);
    }

    UpdateEnding ending = UpdateEnding::NotRun;
    std::thread worker([&engine, &ending, &supervision] {
        const UpdateEnding result = engine.Run();
        std::lock_guard<std::mutex> lock(supervision.mutex);
        ending = result;
        supervision.done = true;
        supervision.changed.notify_all();
    });

    InterruptPolicy policy;
    int stop_signal = 0;
    double stop_deadline = 0;
    std::unique_lock<std::mutex> lock(supervision.mutex);
    for (;;) {
        supervision.changed.wait_for(lock, kTick,
                                     [&supervision] { return supervision.done || !supervision.signals.empty(); });
        if (supervision.done)
            break;
        while (!supervision.signals.empty()) {
            const int number = supervision.signals.front();
            supervision.signals.pop_front();
            if (stop_signal != 0) continue;
            const bool stop = number == SIGTERM ||
                              policy.OnInterrupt(clock.Now()) == InterruptPolicy::Decision::Stop;
            lock.unlock();
            if (stop) {
                stop_signal = number;
                stop_deadline = clock.Now() + kStopGraceSeconds;
                window.Notice({kStopping});
                engine.RequestStop();
                clock.Interrupt();
            } else {
                window.Notice({kInterruptWarningItalian, kInterruptWarningEnglish});
            }
            lock.lock();
        }
        lock.unlock();
        if (stop_signal != 0 && clock.Now() > stop_deadline) {
            window.Notice({kStopStuck});
            window.Finish();
            // The system closes the port with the process.
            ExitProcess(static_cast<UINT>(ExitStatus(UpdateEnding::Interrupted, stop_signal)));
        }
        window.Tick();
        lock.lock();
    }
    lock.unlock();
    worker.join();
    return ExitStatus(ending, stop_signal);
}

}  // namespace varnox
