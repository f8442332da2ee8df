#pragma once
// The update: what the window's one button does, from opening the port to the
// panel's restart. The engine owns the port and starts each run (update_run.h)
// with a fresh state; it shows everything through WindowOps only, so it runs
// the same under the window, the console tool and the tests, and it writes
// the run record once a run has ended.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/clock.h"
#include "firmware/catalogue.h"
#include "power/keep_awake.h"
#include "record/run_record.h"
#include "update/panel_port.h"
#include "update/run_ending.h"
#include "update/run_options.h"
#include "update/run_start.h"
#include "update/window_ops.h"

namespace varnox {

class UpdateRun;

// Title of the plain message boxes.
inline constexpr const char* kProgramName = "varnox-patch";
// A stopped run's exit status unless the front-end says another (128 + SIGINT).
inline constexpr int kStoppedExitStatus = 130;

// What --identify learns without writing anything.
struct Identification {
    std::string ReadFailure;  // empty when the identity was read
    IdentityBytes Identity{};
    std::optional<std::string> Firmware;  // absent: the release is refused
    bool ImageFound = false;              // a carried image fits Firmware
    bool CanStart = false;                // an update would get past its checks
};

class UpdateEngine {
public:
    UpdateEngine(PortOpener& opener, Clock& clock, WindowOps& window);
    ~UpdateEngine();
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // Runs one whole update with the window's choices `start`. Returns at once
    // (ending Refused) when another run is under way, whatever thread calls
    // it, and then touches nothing.
    UpdateEnding Run(const RunStart& start = {});
    bool Running() const { return running_.load(); }

    // Opens the port, reads the identity and checks name, image and the
    // stand-in guard as a run does, closes the port; writes nothing.
    Identification Identify(const RunStart& start = {});

    // Asks the run under way (or, when none is, the next one) to end before
    // its next step, EEPROM chunk attempt or loader packet; a request already
    // on the line finishes (its pauses end early only if the front-end's clock
    // cuts them short). The common end closes the port and the ending is
    // Interrupted. Any thread. Front-ends that must leave mid-run (a console's
    // second Ctrl-C) use it so that the port is closed by the thread using it.
    // `exit_status` is what the run record gives as the run's exit status.
    void RequestStop(int exit_status = kStoppedExitStatus)
    {
        stop_exit_status_.store(exit_status);
        stop_.store(true);
    }
    bool StopRequested() const { return stop_.load(); }

    // The port the next run opens. A run reads it once at its start and keeps
    // that port for every re-open, so a choice made in the menu during a run
    // applies to the next run instead of switching ports mid-EEPROM.
    std::atomic<int> SelectedPort{1};
    // How runs are done (set by the front-end before the first run).
    RunOptions Options;
    // What turns port numbers into devices (the window's probe uses it too).
    PortOpener& Opener() { return port_.Opener(); }
    std::atomic<UpdateEnding> LastEnding{UpdateEnding::NotRun};
    std::atomic<Verification> LastVerification{Verification::NotRun};
    // The console tools' exit status of the last run (see update/exit_status.h).
    std::atomic<int> LastExitStatus{0};

    // Who runs the engine, for the run record.
    std::string ProgramName = kProgramName;
    // The port as the user named it, for the run record; empty: "COMn".
    std::string PortName;
    // Where a run record that cannot be written is said; unset: the log's last line.
    std::function<void(const std::string&)> RecordProblem;
    // The hold that keeps the machine awake during a run, taken on the run's
    // thread; a factory that returns nullptr takes none.
    std::function<std::unique_ptr<SleepInhibitor>()> SleepInhibitors = SystemSleepInhibitor;
    // The record the last run gathered (what was appended to the run record).
    RunRecord LastRecord;

    // Whether the port is open now (tests: every ending closes it).
    bool PortIsOpen() const { return port_.IsOpen(); }
    // The working image of the last run (tests compare the panel with it);
    // empty before the first run.
    const WorkingImage& LastImage() const;

private:
    // The record's start: when, who, which port.
    RunRecord RecordHeader(const RunStart& start) const;
    // Appends LastRecord to the run record, or says why it could not.
    void WriteRecord();

    PanelPort port_;
    Clock& clock_;
    WindowOps& window_;
    std::unique_ptr<UpdateRun> run_;  // the last run's state
    std::atomic<int> stop_exit_status_{kStoppedExitStatus};
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
};

// The run record of `run`, which began with `header` and ended with
// `ending`, from what the run learnt and its phases' log.
RunRecord RecordOf(const UpdateRun& run, RunRecord header, UpdateEnding ending, int exit_status, double now);

}  // namespace varnox
