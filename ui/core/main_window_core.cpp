#include "ui/core/main_window_core.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <sstream>

#include "record/history_table.h"
#include "record/record_file.h"
#include "record/report_file.h"
#include "record/run_verdict.h"
#include "ui/core/about_text.h"
#include "ui/core/form_texts.h"
#include "update/exit_status.h"
#include "update/identify_report.h"
#include "update/trace_target.h"

namespace varnox {

namespace {

// The entries refused while a run is under way: the OPTIONS choices would
// change what the run was started with, IDENTIFY PANEL would use its port.
bool ChangesTheRun(MenuCommand command)
{
    switch (command) {
    case MenuCommand::FastUpdate:
    case MenuCommand::VerifyEeprom:
    case MenuCommand::KeepRecord:
    case MenuCommand::WriteTrace:
    case MenuCommand::Technician:
    case MenuCommand::IdentifyPanel: return true;
    case MenuCommand::RunHistory:
    case MenuCommand::SaveReport:
    case MenuCommand::About: return false;
    }
    return true;
}

}  // namespace

MainWindowCore::MainWindowCore(MainWindowView& view, PortOpener& opener, Clock& clock)
    : Libraries(CoreLibraries()),
      view_(view),
      queue_([&view] { view.WakeWindowThread(); }),
      bridge_(queue_, view, [this](bool enabled) { EngineButton(enabled); }),
      tracing_(opener, clock),
      engine_(tracing_.Following(), clock, bridge_),
      list_ports_([] { return ListPorts(); })
{
}

MainWindowCore::~MainWindowCore()
{
    EndRun();
    queue_.Close();
}

void MainWindowCore::Start()
{
    view_.SetInfoBoxVisible(true);
    engine_.SelectedPort = 1;
    ProbePorts();
    for (const char* line : kStartupInstructions)
        view_.LogLine(line);
    view_.SetButtonText(kButtonCaption);
    view_.RefreshMenus();
}

void MainWindowCore::ProbePorts()
{
    // The run owns the port; the menu is disabled then anyway.
    if (phase_ == RunPhase::Running)
        return;
    menu_ = ProbePortMenu(engine_.Opener(), list_ports_());
    for (int port = 1; port <= kMenuPorts; ++port)
        view_.EnablePortItem(port, menu_.Usable[port - 1]);
    view_.ShowPortMenu(menu_);
}

std::string MainWindowCore::SetSettingsStore(SettingsStore& store, const RunOptions& given)
{
    store_ = &store;
    stored_ = store.Load();
    settings_ = WithCommandLine(stored_, given);
    base_options_ = given;
    std::string error;
    trace_warned_ = false;
    if (!tracing_.Switch(settings_.TracePath, error))
        settings_.TracePath.clear();
    view_.RefreshMenus();
    return error;
}

RunStart MainWindowCore::StartOfRun() const
{
    RunStart start;
    start.SelectorIndex = view_.SelectorIndex();
    start.Technician = settings_.Technician;
    return start;
}

bool MainWindowCore::StartUpdate()
{
    // A second run must never start inside the first, and a button the run
    // has disabled stays dead even to a direct call.
    if (phase_ == RunPhase::Running || engine_.Running() || !engine_button_)
        return false;
    if (worker_.joinable())
        worker_.join();
    phase_ = RunPhase::Running;
    ShowRunControls();
    view_.HideVerdictBand();
    view_.RefreshMenus();
    StartWorker([this](const RunStart& start) { engine_.Run(start); }, &MainWindowCore::OnRunEnded);
    return true;
}

void MainWindowCore::StartWorker(std::function<void(const RunStart&)> work,
                                 void (MainWindowCore::*ended)(const std::string&))
{
    // Without a store the front-end has set the engine's options itself.
    if (store_ != nullptr)
        engine_.Options = RunOptionsFor(base_options_, settings_);
    worker_ = std::thread([this, work = std::move(work), ended, start = StartOfRun()] {
        // An exception must not end the program with the window in its run
        // state; it is reported once the work has been wound up.
        std::string failure;
        try {
            work(start);
        } catch (const std::exception& error) {
            failure = error.what();
        } catch (...) {
            failure = "unknown error";
        }
        // Queued behind every operation the work posted, so the window shows
        // all of it before it counts as ended.
        queue_.Post([this, ended, failure] { (this->*ended)(failure); });
    });
}

void MainWindowCore::OnRunEnded(const std::string& failure)
{
    if (worker_.joinable())
        worker_.join();
    phase_ = RunPhase::Finished;
    ShowRunControls();
    if (failure.empty()) {
        last_run_ = engine_.LastRecord;
        const RunVerdict verdict = VerdictOf(*last_run_);
        view_.ShowVerdictBand(verdict.Colour, verdict.Text);
    } else {
        view_.ShowBox({BoxIcon::Error, kProgramName, kRunFailedText, failure});
        // The engine has judged what the panel had reached when the run broke off.
        const int status = engine_.LastExitStatus.load();
        const RunVerdict verdict = VerdictOf(status, status == kExitPanelChanged);
        view_.ShowVerdictBand(verdict.Colour, verdict.Text);
    }
    WarnOfTrace();
    view_.RefreshMenus();
    view_.RunEnded();
}

bool MainWindowCore::StartIdentify()
{
    if (phase_ == RunPhase::Running || engine_.Running())
        return false;
    if (worker_.joinable())
        worker_.join();
    phase_before_identify_ = phase_;
    phase_ = RunPhase::Running;
    ShowRunControls();
    view_.RefreshMenus();
    // On the worker as a run is, so the window goes on answering while the
    // panel is asked; the lines reach the log through the bridge, in order.
    StartWorker(
        [this](const RunStart& start) {
            const std::string text = IdentificationText(engine_.Identify(start));
            bridge_.LogLine("");
            std::istringstream lines(text);
            for (std::string line; std::getline(lines, line);)
                bridge_.LogLine(line);
        },
        &MainWindowCore::OnIdentifyEnded);
    return true;
}

void MainWindowCore::OnIdentifyEnded(const std::string& failure)
{
    if (worker_.joinable())
        worker_.join();
    phase_ = phase_before_identify_;
    ShowRunControls();
    if (!failure.empty())
        view_.ShowBox({BoxIcon::Error, kProgramName, kRunFailedText, failure});
    WarnOfTrace();
    view_.RefreshMenus();
}

void MainWindowCore::WarnOfTrace()
{
    const std::string failure = tracing_.WriteFailure();
    if (failure.empty() || trace_warned_)
        return;
    trace_warned_ = true;
    view_.ShowBox({BoxIcon::Warning, kProgramName, "Trace not written: " + failure, {}});
}

MenuItemState MainWindowCore::ItemState(MenuCommand command) const
{
    MenuItemState state;
    state.Enabled = !(RunInProgress() && ChangesTheRun(command));
    switch (command) {
    case MenuCommand::FastUpdate: state.Checked = settings_.Fast; break;
    case MenuCommand::VerifyEeprom:
        // Fast mode always reads the EEPROM back.
        state.Checked = settings_.VerifyEeprom || settings_.Fast;
        state.Enabled = state.Enabled && !settings_.Fast;
        break;
    case MenuCommand::KeepRecord: state.Checked = settings_.KeepRecord; break;
    case MenuCommand::WriteTrace: state.Checked = !settings_.TracePath.empty(); break;
    case MenuCommand::SaveReport: state.Enabled = last_run_.has_value(); break;
    case MenuCommand::Technician:
    case MenuCommand::IdentifyPanel:
    case MenuCommand::RunHistory:
    case MenuCommand::About: break;
    }
    return state;
}

bool MainWindowCore::OnMenuCommand(MenuCommand command)
{
    if (!ItemState(command).Enabled)
        return false;
    WindowSettings next = settings_;
    switch (command) {
    case MenuCommand::FastUpdate:
        next.Fast = !next.Fast;
        Changed(next);
        break;
    case MenuCommand::VerifyEeprom:
        next.VerifyEeprom = !next.VerifyEeprom;
        Changed(next);
        break;
    case MenuCommand::KeepRecord:
        next.KeepRecord = !next.KeepRecord;
        Changed(next);
        break;
    case MenuCommand::WriteTrace: ToggleTrace(); break;
    case MenuCommand::Technician:
        if (const auto name = view_.AskTechnician(settings_.Technician)) {
            next.Technician = *name;
            Changed(next);
        }
        break;
    case MenuCommand::IdentifyPanel: return StartIdentify();
    case MenuCommand::RunHistory: ShowHistory(); break;
    case MenuCommand::SaveReport: SaveReport(*last_run_); break;
    case MenuCommand::About: view_.ShowAbout(AboutText(RecordPlace(), Libraries)); break;
    }
    return true;
}

void MainWindowCore::Changed(WindowSettings next)
{
    // Only what the user changed is stored: a choice the command line made
    // for this start stays its own.
    if (next.Fast != settings_.Fast)
        stored_.Fast = next.Fast;
    if (next.VerifyEeprom != settings_.VerifyEeprom)
        stored_.VerifyEeprom = next.VerifyEeprom;
    if (next.KeepRecord != settings_.KeepRecord)
        stored_.KeepRecord = next.KeepRecord;
    if (next.TracePath != settings_.TracePath)
        stored_.TracePath = next.TracePath;
    if (next.Technician != settings_.Technician)
        stored_.Technician = next.Technician;
    settings_ = std::move(next);
    if (store_ != nullptr)
        store_->Save(stored_);
    view_.RefreshMenus();
}

void MainWindowCore::ToggleTrace()
{
    WindowSettings next = settings_;
    std::string error;
    if (!settings_.TracePath.empty()) {
        // Chosen again while checked: the trace ends.
        next.TracePath.clear();
        tracing_.Switch({}, error);
        trace_warned_ = false;
    } else {
        next.TracePath = view_.ChooseTraceFile();
        if (next.TracePath.empty())
            return;
        // Never over the run record, which a new trace file would empty.
        error = TraceTargetRefusal(RunOptionsFor(base_options_, next));
        if (!error.empty() || !tracing_.Switch(next.TracePath, error)) {
            view_.ShowBox({BoxIcon::Error, kProgramName, "Trace not written: " + error, {}});
            return;
        }
        trace_warned_ = false;
    }
    Changed(next);
}

std::string MainWindowCore::RecordPlace() const
{
    const RunOptions options = store_ != nullptr ? RunOptionsFor(base_options_, settings_) : engine_.Options;
    if (options.NoRecord)
        return "not kept (KEEP RUN RECORD is off)";
    if (!options.RecordFile.empty())
        return options.RecordFile;
    if (const auto path = DefaultRecordPath())
        return path->string();
    return NoDefaultRecordPathError();
}

void MainWindowCore::ShowHistory()
{
    const RunOptions options = store_ != nullptr ? RunOptionsFor(base_options_, settings_) : engine_.Options;
    std::optional<std::filesystem::path> file;
    if (!options.RecordFile.empty())
        file = options.RecordFile;
    else
        file = DefaultRecordPath();
    RecordLog log;
    if (!file) {
        view_.ShowBox({BoxIcon::Error, kProgramName, NoDefaultRecordPathError(), {}});
        return;
    }
    RecordReadResult read = ReadRecords(*file);
    if (!read.Read && !read.Missing) {
        view_.ShowBox({BoxIcon::Error, kProgramName, read.Error, {}});
        return;
    }
    log = std::move(read.Log);
    const HistoryRow& titles = HistoryHeader();
    const std::vector<std::string> header(titles.begin(), titles.end());
    std::vector<std::vector<std::string>> rows;
    const std::vector<HistoryRow> oldest_first = HistoryRows(log);
    for (auto row = oldest_first.rbegin(); row != oldest_first.rend(); ++row)
        rows.emplace_back(row->begin(), row->end());
    const int chosen = view_.ShowHistory(header, rows);
    if (chosen < 0 || chosen >= int(rows.size()))
        return;
    SaveReport(log.Records[log.Records.size() - 1 - std::size_t(chosen)]);
}

void MainWindowCore::SaveReport(const RunRecord& record)
{
    const std::string file = view_.ChooseReportFile(ReportFileName(record));
    if (file.empty())
        return;
    if (const std::string problem = SaveRunReport(record, file); !problem.empty()) {
        view_.ShowBox({BoxIcon::Error, kProgramName, "Report not written: " + problem, {}});
        return;
    }
    if (view_.AskOpenReport(file))
        view_.OpenInBrowser(file);
}

bool MainWindowCore::SelectPort(int port)
{
    // The menu is disabled during a run; this also holds for a direct call.
    const bool beyond = std::any_of(menu_.Beyond.begin(), menu_.Beyond.end(),
                                    [port](const PortMenuItem& item) { return item.Port == port; });
    if (phase_ == RunPhase::Running || port < 1 || (port > kMenuPorts && !beyond))
        return false;
    engine_.SelectedPort = port;
    return true;
}

bool MainWindowCore::MayClose()
{
    if (phase_ != RunPhase::Running)
        return true;
    view_.ShowBox({BoxIcon::Warning, kProgramName, kCloseRefusedText, {}});
    return false;
}

void MainWindowCore::EndRun()
{
    if (phase_ == RunPhase::Running) {
        engine_.RequestStop();
        // The engine needs the window's thread for its operations (and its
        // boxes) until it has stopped.
        while (phase_ == RunPhase::Running) {
            queue_.WaitForPending(std::chrono::milliseconds(10));
            queue_.Drain();
            view_.ServeEvents();
        }
    }
    if (worker_.joinable())
        worker_.join();
}

void MainWindowCore::EngineButton(bool enabled)
{
    engine_button_ = enabled;
    ShowRunControls();
}

void MainWindowCore::ShowRunControls()
{
    view_.EnableRunControls(ButtonEnabled(), phase_ != RunPhase::Running);
}

}  // namespace varnox
