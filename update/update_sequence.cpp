// The update sequence behind the window's one button: identity, name, image,
// EEPROM phase, bootloader phase, common end.

#include "firmware/panel_identity.h"
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
    : Port(opener, window), Requests(Port.Serial(), clock), clock_(clock), window_(window)
{
}

UpdateEnding UpdateEngine::Run()
{
    // A second press, from the window's pump or another thread, must not start
    // a run on the same port and buffers inside the first.
    bool idle = false;
    if (!running_.compare_exchange_strong(idle, true)) return UpdateEnding::Refused;
    RunFlag flag(running_, stop_);
    const UpdateEnding ending = RunSteps();
    LastEnding.store(ending);
    return ending;
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
    if (StopRequested()) return Interrupt();

    PanelIdentity identity;
    const StepResult read =
        ClosingOnFailure(Requests.ReadMemory(kIdentityAddress, identity.Bytes.data(), kIdentityLength));
    if (read.failed()) {
        if (StopRequested()) return Interrupt();
        window_.LogLine("");
        window_.LogLine(read.text);
        window_.LogLine("");
        Port.Close();
        return UpdateEnding::IdentityReadFailed;
    }

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

    window_.LogLine(kUpdateStarted);
    window_.LogLine(*name);
    window_.LogLine("");
    window_.LogLine(kUpdatingEeprom);
    window_.LogLine("");
    window_.LogLine(kPleaseWait);
    window_.SetFieldText(Field::PanelType, *name);
    if (StopRequested()) return Interrupt();

    if (NormalizeEepromWord().failed() || WriteAddress15().failed() || DownloadEeprom().failed() ||
        (Options.ReadsEepromBack() && VerifyEeprom().failed())) {
        if (StopRequested()) return Interrupt();
        window_.LogLine("");
        window_.LogLine(kEepromError);
        window_.LogLine(kProgrammingEnd);
        // The panel now holds a partly written EEPROM: a new attempt needs a new start.
        window_.SetButtonEnabled(false);
        FinishUpdate();
        return UpdateEnding::EepromFailed;
    }

    const UpdateEnding ending = RunBootloaderPhase();
    FinishUpdate();
    return ending;
}

}  // namespace varnox
