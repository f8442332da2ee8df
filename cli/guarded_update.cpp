#include "cli/guarded_update.h"

#include <cstdlib>
#include <thread>

#include "cli/stop_policy.h"

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

}  // namespace

int RunGuardedUpdate(const UpdateWork& work, Clock& clock, ConsoleWindow& window, StopEventSource& stops)
{
    StopPolicy policy;
    if (!stops.Start()) {
        window.Notice({kNoSupervision});
        return policy.ExitStatus(work.run());
    }

    int run_status = 0;
    std::thread worker([&work, &run_status, &stops] {
        run_status = work.run();
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
