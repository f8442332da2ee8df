// The engine around each run: one run at a time, the keep-awake hold, the
// exit status, and the run record.

#include "update/update_engine.h"

#include <chrono>

#include "firmware/image_provenance.h"
#include "firmware/panel_identity.h"
#include "record/record_file.h"
#include "record/run_verdict.h"
#include "update/exit_status.h"
#include "update/update_run.h"

namespace varnox {

namespace {

// Marks a run as under way for its whole length, whatever way it ends.
class RunFlag {
public:
    RunFlag(std::atomic<bool>& running, std::atomic<bool>& stop) : running_(running), stop_(stop) {}
    ~RunFlag()
    {
        stop_.store(false);
        running_.store(false);
    }
    RunFlag(const RunFlag&) = delete;
    RunFlag& operator=(const RunFlag&) = delete;

private:
    std::atomic<bool>& running_;
    std::atomic<bool>& stop_;
};

}  // namespace

UpdateEngine::UpdateEngine(PortOpener& opener, Clock& clock, WindowOps& window)
    : port_(opener, clock, window), clock_(clock), window_(window)
{
}

UpdateEngine::~UpdateEngine() = default;

UpdateEnding UpdateEngine::Run(const RunStart& start)
{
    // A second press, from the window's pump or another thread, must not start
    // a run on the same port inside the first.
    bool idle = false;
    if (!running_.compare_exchange_strong(idle, true))
        return UpdateEnding::Refused;
    RunFlag flag(running_, stop_);
    LastVerification.store(Verification::NotRun);
    const RunRecord header = RecordHeader(start);
    UpdateEnding ending = UpdateEnding::NotRun;
    {
        // Taken and let go on this thread: on Windows the hold belongs to it.
        const std::unique_ptr<SleepInhibitor> inhibitor = SleepInhibitors ? SleepInhibitors() : nullptr;
        std::optional<KeepAwake> awake;
        if (inhibitor)
            awake.emplace(*inhibitor);
        run_.reset();
        run_ = std::make_unique<UpdateRun>(port_, clock_, window_, Options, start, stop_);
        try {
            // The run keeps this port for every re-open.
            ending = run_->Steps(SelectedPort.load());
        } catch (...) {
            // A fault escaping the run ends it where it was: the port is let
            // go on the thread that used it, and the status says whether the
            // panel had been written to. The front-end says what happened.
            port_.Close();
            LastEnding.store(UpdateEnding::NotRun);
            RunRecord reached;
            reached.Phases = run_->Phases.Phases();
            LastExitStatus.store(PanelWritten(reached) ? kExitPanelChanged : kExitPanelUnchanged);
            throw;
        }
    }
    LastVerification.store(run_->Verified);
    LastEnding.store(ending);
    // A stopped run reports the stop's status, even when its last step was done.
    LastExitStatus.store(StopRequested() ? stop_exit_status_.load() : ExitStatusOf(ending, run_->Verified));
    LastRecord = RecordOf(*run_, header, ending, LastExitStatus.load(), clock_.Now());
    if (run_->IdentityRead && !Options.NoRecord)
        WriteRecord();
    return ending;
}

Identification UpdateEngine::Identify(const RunStart& start)
{
    Identification found;
    UpdateRun run(port_, clock_, window_, Options, start, stop_);
    // As before any run: the fixed looks.
    run.Requests.Pacing = ReplyPacing::Fixed;
    port_.Open(SelectedPort.load());
    PanelIdentity identity;
    LinkResult read;
    try {
        read = run.Requests.ReadMemory(kIdentityAddress, identity.Bytes.data(), kIdentityLength);
    } catch (...) {
        port_.Close();  // on the thread that used it, as after a run's fault
        throw;
    }
    port_.Close();
    if (read.failed()) {
        found.ReadFailure = read.text();
        return found;
    }
    found.Identity = identity.Bytes;
    found.Firmware = BuildFirmwareName(identity, start.SelectorIndex);
    if (!found.Firmware)
        return found;
    run.Image.SelectFirmwareImage(*found.Firmware);
    found.ImageFound = run.Image.ImageEnd != 0;
    found.CanStart = found.ImageFound && !run.RefusesStandIn();
    return found;
}

const WorkingImage& UpdateEngine::LastImage() const
{
    static const WorkingImage none;
    return run_ ? run_->Image : none;
}

RunRecord UpdateEngine::RecordHeader(const RunStart& start) const
{
    RunRecord record;
    record.Technician = start.Technician;
    record.Start = std::chrono::system_clock::now();
    record.Program = ProgramName;
    record.Version = std::string(ProgramVersion());
    const int port = SelectedPort.load();
    record.Port = PortName.empty() ? "COM" + std::to_string(port) : PortName;
    if (std::string device = port_.Opener().DeviceName(port); !device.empty())
        record.Adapter = std::move(device);
    return record;
}

void UpdateEngine::WriteRecord()
{
    std::string problem;
    if (!Options.RecordFile.empty()) {
        problem = AppendRecord(Options.RecordFile, LastRecord).Error;
    } else if (const auto file = DefaultRecordPath()) {
        problem = AppendRecord(*file, LastRecord).Error;
    } else {
        problem = NoDefaultRecordPathError();
    }
    if (problem.empty())
        return;
    if (RecordProblem)
        RecordProblem(problem);
    else
        window_.LogLine(problem);
}

}  // namespace varnox
