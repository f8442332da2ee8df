#include "cli/guarded_update.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <thread>

#include "cli/stop_policy.h"
#include "update/exit_status.h"

namespace varnox {

namespace {

// The status line's elapsed time moves once a second during long pauses.
constexpr int kTickMs = 1000;

const char* const kInterruptWarningItalian =
    "ATTENZIONE: interrompere l'aggiornamento può lasciare la centrale inutilizzabile.";
const char* const kInterruptWarningEnglish =
    "WARNING: interrupting the update can leave the panel unusable. "
    "Press Ctrl-C again within 3 s to stop it anyway.";
const char* const kStopping = "Stopping the update: closing the port...";
const char* const kStopStuck = "The update did not stop in time; leaving without it.";
const char* const kNoSupervision = "Cannot watch for Ctrl-C; the update runs to its end without it.";
const char* const kRunFailed = "Internal error: the update stopped: ";

// The run, with the windows' guard: a fault must not end the process with a
// bare abort. The engine has let the port go by the time it arrives here.
int CaughtRun(const UpdateWork& work, ConsoleWindow& window)
{
    std::string failure;
    try {
        return work.run();
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "unknown error";
    }
    std::replace(failure.begin(), failure.end(), '\n', ' ');
    window.Notice({kRunFailed + failure});
    return work.failed ? work.failed() : kExitPanelChanged;
}

}  // namespace

UpdateWork EngineWork(UpdateEngine& engine, std::function<void()> interrupt_pauses)
{
    return {[&engine] {
                engine.Run();
                return engine.LastExitStatus.load();
            },
            [&engine, interrupt_pauses](int exit_status) {
                engine.RequestStop(exit_status);
                interrupt_pauses();
            },
            [&engine] { return engine.LastExitStatus.load(); }};
}

int RunGuardedUpdate(const UpdateWork& work, Clock& clock, ConsoleWindow& window, StopEventSource& stops)
{
    StopPolicy policy;
    if (!stops.Start()) {
        window.Notice({kNoSupervision});
        return policy.ExitStatus(CaughtRun(work, window));
    }

    int run_status = 0;
    std::thread worker([&work, &window, &run_status, &stops] {
        run_status = CaughtRun(work, window);
        stops.UpdateEnded();
    });

    std::vector<StopEvent> events;
    for (;;) {
        events.clear();
        if (stops.Wait(kTickMs, events) != StopEventSource::Wake::Watching)
            break;
        for (const StopEvent event : events) {
            switch (policy.OnEvent(event, clock.Now())) {
            case StopPolicy::Decision::Warn:
                window.Notice({kInterruptWarningItalian, kInterruptWarningEnglish});
                break;
            case StopPolicy::Decision::Stop:
                window.Notice({kStopping});
                work.stop(policy.StoppedStatus());
                break;
            case StopPolicy::Decision::Ignore: break;
            }
        }
        if (policy.Overdue(clock.Now())) {
            window.Notice({kStopStuck});
            window.Finish();
            // The system closes the port with the process.
            std::_Exit(policy.StoppedStatus());
        }
        window.Tick();
    }
    worker.join();
    return policy.ExitStatus(run_status);
}

}  // namespace varnox
