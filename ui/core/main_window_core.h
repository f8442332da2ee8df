#pragma once
// Everything both main windows do alike, without a widget: the run of the
// CONTINUE button on a worker thread and its state, the engine's window
// operations handed to the window's thread, what is refused during a run,
// the guard against an exception escaping a run, the port menu's probe, the
// menus after it (options, identify, history, report, about) with the
// settings kept between starts, the verdict after a run, and the end of the
// program during a run. A shell (MainWindowView) adds widgets, painting and
// its own thread.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "record/run_record.h"
#include "trace/traced_device.h"
#include "ui/core/main_window_view.h"
#include "ui/core/operation_queue.h"
#include "ui/core/port_probe.h"
#include "ui/core/window_bridge.h"
#include "ui/core/window_menus.h"
#include "ui/core/window_settings.h"
#include "update/update_engine.h"

namespace varnox {

enum class RunPhase {
    Idle,      // no run yet
    Running,   // from the button's press until the window shows the run's end
    Finished,  // a run has ended; the button is as the engine left it
};

class MainWindowCore {
public:
    // Constructed on the window's thread. `opener` and `clock` serve the
    // probe and every update (through the window's trace, when one is
    // chosen); they and `view` must outlive the core.
    MainWindowCore(MainWindowView& view, PortOpener& opener, Clock& clock);
    // EndRun, if the shell has not called it already.
    ~MainWindowCore();
    MainWindowCore(const MainWindowCore&) = delete;
    MainWindowCore& operator=(const MainWindowCore&) = delete;

    UpdateEngine& Engine() { return engine_; }
    // What the engine sees of the window (any thread).
    WindowBridge& Bridge() { return bridge_; }

    // The rest on the window's thread only.

    // The window's start: port 1 chosen, the menu's ports probed, the
    // instructions in the log, the button's caption.
    void Start();
    // The port menu opens: the ports are listed and probed again, so an
    // adapter plugged in since becomes selectable. Nothing during a run.
    void ProbePorts();
    // Where the ports are listed from (ListPorts by default).
    void SetPortLister(std::function<std::vector<PortInfo>()> lister) { list_ports_ = std::move(lister); }
    // CONTINUE: starts the update on the worker thread. Refused (false) while
    // a run is under way and when the engine has disabled the button.
    bool StartUpdate();
    // Port menu item `port` chooses the next run's port; refused during a run.
    bool SelectPort(int port);
    // Closing the window: refused during a run, with a box that says why.
    bool MayClose();
    // Runs the engine's operations that wait for the window's thread.
    void ServeOperations() { queue_.Drain(); }
    // The program ends: a run under way is asked to stop at its next
    // boundary, and the window's operations are served until it has ended.
    // Shells call it while their widgets still exist.
    void EndRun();

    // The settings kept between starts, read from `store`, with the command
    // line's run options `given` (and the environment's) over them for this
    // start; from now on every run's options are built from them and every
    // change is saved to `store`, which must outlive the core. A trace the
    // settings name is started; "" when it was, else why not (the trace is
    // then off for this start).
    std::string SetSettingsStore(SettingsStore& store, const RunOptions& given);
    const WindowSettings& Settings() const { return settings_; }

    // The menus after the port menu: each entry's check mark and state now.
    MenuItemState ItemState(MenuCommand command) const;
    // An entry chosen. Refused (false), silently as a second CONTINUE is,
    // when the entry is greyed: during a run or an identification, every
    // entry that would change the run or use the port.
    bool OnMenuCommand(MenuCommand command);
    // The record of this window's last run; none before a run has ended.
    const std::optional<RunRecord>& LastRun() const { return last_run_; }
    // The libraries ABOUT names, one "name (licence)" each; a shell adds its own.
    std::vector<std::string> Libraries;

    RunPhase Phase() const { return phase_; }
    bool RunInProgress() const { return phase_ == RunPhase::Running; }
    bool ButtonEnabled() const { return phase_ != RunPhase::Running && engine_button_; }
    const std::array<bool, kMenuPorts>& UsablePorts() const { return menu_.Usable; }
    const PortMenuModel& Menu() const { return menu_; }

private:
    void EngineButton(bool enabled);
    void OnRunEnded(const std::string& failure);
    void ShowRunControls();
    RunStart StartOfRun() const;
    // The worker's part of IDENTIFY PANEL, and its end on the window's thread.
    bool StartIdentify();
    void OnIdentifyEnded(const std::string& failure);
    // Runs `work` on the worker with the run's start and the current choices,
    // then `ended` on the window's thread with what escaped it ("" for nothing).
    void StartWorker(std::function<void(const RunStart&)> work, void (MainWindowCore::*ended)(const std::string&));
    // Keeps a changed choice and shows it.
    void Changed(WindowSettings next);
    void ToggleTrace();
    // Once per trace file: the runs go on without their trace.
    void WarnOfTrace();
    void ShowHistory();
    // Saves `record`'s report where the user chooses, and offers to open it.
    void SaveReport(const RunRecord& record);
    std::string RecordPlace() const;

    MainWindowView& view_;
    OperationQueue queue_;
    WindowBridge bridge_;
    PortTracing tracing_;
    UpdateEngine engine_;
    std::function<std::vector<PortInfo>()> list_ports_;
    PortMenuModel menu_;
    RunPhase phase_ = RunPhase::Idle;
    // The button's state as the engine last set it; shown once a run ends.
    bool engine_button_ = true;
    RunPhase phase_before_identify_ = RunPhase::Idle;
    SettingsStore* store_ = nullptr;
    WindowSettings stored_;    // as in the store
    WindowSettings settings_;  // this start's: the stored ones under the command line
    RunOptions base_options_;  // the command line's and the environment's
    std::optional<RunRecord> last_run_;
    bool trace_warned_ = false;
    std::thread worker_;
};

}  // namespace varnox
