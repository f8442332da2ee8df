// The update sequence behind the window's one button: identity, name, image,
// stand-in guard, EEPROM phase, bootloader phase, verification, common end;
// around it the keep-awake hold and the run record.

#include <optional>

#include "firmware/image_provenance.h"
#include "firmware/panel_identity.h"
#include "update/exit_status.h"
#include "update/update_engine.h"
#include "update/update_texts.h"

namespace varnox {

namespace {

constexpr int kInitialGaugeMaximum = 1500;
// Shown long enough to be read before the port is let go.
constexpr int kNoFirmwareWaitMs = 3000;

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
    : Port(opener, clock, window), Requests(Port.Serial(), clock), clock_(clock), window_(window)
{
}

UpdateEnding UpdateEngine::Run()
{
    // A second press, from the window's pump or another thread, must not start
    // a run on the same port and buffers inside the first.
    bool idle = false;
    if (!running_.compare_exchange_strong(idle, true))
        return UpdateEnding::Refused;
    RunFlag flag(running_, stop_);
    UpdateEnding ending = UpdateEnding::NotRun;
    {
        // Taken and let go on this thread: on Windows the hold belongs to it.
        const std::unique_ptr<SleepInhibitor> inhibitor = SleepInhibitors ? SleepInhibitors() : nullptr;
        std::optional<KeepAwake> awake;
        if (inhibitor)
            awake.emplace(*inhibitor);
        BeginRecord();
        ending = RunSteps();
    }
    LastEnding.store(ending);
    // A stopped run reports the stop's status, even when its last step was done.
    LastExitStatus.store(StopRequested() ? stop_exit_status_.load()
                                         : ExitStatusOf(ending, LastVerification.load()));
    EndRecord(ending);
    return ending;
}

bool UpdateEngine::RefusesStandIn() const
{
    return CarriesStandInImages() && !Options.AllowStandIn;
}

void UpdateEngine::FinishUpdate()
{
    window_.SetGaugeVisible(false);
    Port.Close();
    window_.PumpMessages();
}

UpdateEnding UpdateEngine::Interrupt()
{
    FinishUpdate();
    return UpdateEnding::Interrupted;
}

UpdateEnding UpdateEngine::RunSteps()
{
    run_port_ = SelectedPort.load();
    Requests.Pacing = Options.Fast ? ReplyPacing::Fast : ReplyPacing::Fixed;
    window_.ClearLog();
    window_.SetGaugeVisible(true);
    window_.SetGaugeProgress(0);
    window_.SetGaugeMaximum(kInitialGaugeMaximum);

    // Not examined: a port that did not open has shown its box, and the
    // identity read below then fails for want of an answer.
    Port.Open(run_port_);
    if (StopRequested())
        return Interrupt();
    identity_read_ = true;

    PanelIdentity identity;
    const StepResult read =
        ExchangeResult(Requests.ReadMemory(kIdentityAddress, identity.Bytes.data(), kIdentityLength));
    if (read.failed()) {
        if (StopRequested())
            return Interrupt();
        window_.LogLine("");
        window_.LogLine(read.text);
        window_.LogLine("");
        Port.Close();
        return UpdateEnding::IdentityReadFailed;
    }
    LastRecord.IdentityBefore = identity.Bytes;

    const auto name = BuildFirmwareName(identity, window_.SelectorIndex());
    if (!name) {
        window_.LogLine("");
        window_.LogLine(kReleaseRejectedItalian);
        window_.LogLine("");
        window_.LogLine(kReleaseRejectedEnglish);
        window_.LogLine("");
        Port.Close();
        return UpdateEnding::ReleaseRejected;
    }
    LastRecord.FirmwareBefore = *name;

    Image.SelectFirmwareImage(*name);
    if (Image.ImageEnd == 0) {
        window_.LogLine("");
        window_.LogLine(kNoFirmwareEnglish);
        window_.LogLine("");
        window_.LogLine(kNoFirmwareItalian);
        clock_.Pause(kNoFirmwareWaitMs);
        Port.Close();
        return UpdateEnding::NoFirmware;
    }
    if (const auto image = ImageOfFirmware(*name))
        LastRecord.Image = RecordedImage{image->Image, image->Sha256, image->StandIn};

    // Nothing has been written yet: the no-firmware ending, without its pause.
    if (RefusesStandIn()) {
        window_.LogLine("");
        window_.LogLine(kStandInItalian);
        window_.LogLine(kStandInEnglish);
        Port.Close();
        return UpdateEnding::StandInRefused;
    }

    window_.LogLine(kUpdateStarted);
    window_.LogLine(*name);
    window_.LogLine("");
    window_.LogLine(kUpdatingEeprom);
    window_.LogLine("");
    window_.LogLine(kPleaseWait);
    window_.SetFieldText(Field::PanelType, *name);
    if (StopRequested())
        return Interrupt();

    // The word and byte 15 get one attempt each; the download counts its own.
    const auto counted = [this](StepResult step) {
        if (step.kind == StepFailure::LinkFailed)
            ++LastRecord.Failed.Eeprom;
        return step.failed();
    };
    if (counted(NormalizeEepromWord()) || counted(WriteAddress15()) || DownloadEeprom().failed() ||
        (Options.ReadsEepromBack() && VerifyEeprom().failed())) {
        if (StopRequested())
            return Interrupt();
        window_.LogLine("");
        window_.LogLine(kEepromError);
        window_.LogLine(kProgrammingEnd);
        // The panel now holds a partly written EEPROM: a new attempt needs a new start.
        window_.SetButtonEnabled(false);
        FinishUpdate();
        return UpdateEnding::EepromFailed;
    }

    const UpdateEnding ending = RunBootloaderPhase();
    // The port is still open: the panel speaks the service protocol again after its restart.
    if (ending == UpdateEnding::Completed)
        LastVerification.store(VerifyAfterRestart());
    FinishUpdate();
    return ending;
}

}  // namespace varnox
