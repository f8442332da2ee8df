#pragma once
// One run of the update, from the port's opening to its ending: what it works
// with (the port, the requests, the working image), what it has learnt (the
// identity, the firmware name, the image chosen, the phases' log), and the
// sequence itself. Made fresh for every run; the phases (eeprom_phase.h,
// loader_phase.h) work through it.

#include <atomic>
#include <optional>
#include <string>

#include "core/clock.h"
#include "firmware/catalogue.h"
#include "protocol/memory_requests.h"
#include "record/run_record.h"
#include "update/panel_port.h"
#include "update/phase_log.h"
#include "update/run_ending.h"
#include "update/run_options.h"
#include "update/run_start.h"
#include "update/step_result.h"
#include "update/window_ops.h"

namespace varnox {

class UpdateRun {
public:
    // `stop` is the engine's stop request, read before every step and attempt.
    UpdateRun(PanelPort& port, Clock& clock, WindowOps& window, const RunOptions& options, const RunStart& start,
              const std::atomic<bool>& stop);
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    // The whole sequence on port `number`: identity, name, image, stand-in
    // guard, EEPROM phase, loader phase, verification; then the ending's
    // lines and the common end, with the port closed.
    UpdateEnding Steps(int number);

    bool Stopped() const { return stop_.load(); }
    // The step result of one exchange; after a failed one the port is flushed
    // and kept, or let go when its device is gone (PanelPort::AfterFailedExchange).
    StepResult Exchanged(const LinkResult& result);
    // A failed attempt of the phase under way: its kind and words go to the
    // phase log, `what` saying which attempt of what.
    void AttemptFailed(const StepResult& step, const std::string& what);
    // Before another attempt: brings back a port whose adapter went away,
    // with a log line when it is back.
    void RestorePort();
    // The stand-in guard: stand-in images are written only when allowed.
    bool RefusesStandIn() const;

    PanelPort& Port;
    Clock& Time;
    const double Started;  // Time.Now() when the run began: the phase log's zero
    WindowOps& Window;
    const RunOptions& Options;
    const RunStart Start;
    MemoryRequests Requests;
    WorkingImage Image;
    PhaseLog Phases;

    // What the run has learnt, for the record.
    bool IdentityRead = false;  // the run got as far as the identity read
    std::optional<IdentityBytes> IdentityBefore;
    std::optional<std::string> Firmware;
    std::optional<RecordedImage> ChosenImage;
    std::optional<IdentityBytes> IdentityAfter;
    Verification Verified = Verification::NotRun;

private:
    // The steps: each returns the run's ending, or nothing to go on.
    std::optional<UpdateEnding> ReadIdentity(int number);
    std::optional<UpdateEnding> ChooseImage();
    std::optional<UpdateEnding> WriteEeprom();
    // A step that failed while a stop was asked for ends the run as stopped.
    std::optional<UpdateEnding> FailedWith(UpdateEnding ending) const;
    // Shows `ending` as its shape says and lets the port go.
    UpdateEnding End(UpdateEnding ending);

    const std::atomic<bool>& stop_;
    std::string ending_text_;  // a failed identity read's text
};

// After a completed run's restart, on the still open port.
Verification VerifyAfterRestart(UpdateRun& run);

}  // namespace varnox
