// The update sequence behind the window's one button, step by step; each
// step either goes on or names the run's ending, and the ending is shown in
// one place.

#include "update/update_run.h"

#include "firmware/image_provenance.h"
#include "firmware/panel_identity.h"
#include "update/eeprom_phase.h"
#include "update/loader_phase.h"
#include "update/update_texts.h"

namespace varnox {

namespace {

constexpr int kInitialGaugeMaximum = 1500;

}  // namespace

UpdateRun::UpdateRun(PanelPort& port, Clock& clock, WindowOps& window, const RunOptions& options,
                     const RunStart& start, const std::atomic<bool>& stop)
    : Port(port),
      Time(clock),
      Started(clock.Now()),
      Window(window),
      Options(options),
      Start(start),
      Requests(port.Serial(), clock),
      Phases(clock, Started),
      stop_(stop)
{
    Requests.Pacing = options.Fast ? ReplyPacing::Fast : ReplyPacing::Fixed;
}

UpdateEnding UpdateRun::Steps(int number)
{
    Window.ClearLog();
    Window.SetGaugeVisible(true);
    Window.SetGaugeProgress(0);
    Window.SetGaugeMaximum(kInitialGaugeMaximum);

    if (const auto ending = ReadIdentity(number))
        return End(*ending);
    if (const auto ending = ChooseImage())
        return End(*ending);
    if (const auto ending = WriteEeprom())
        return End(*ending);
    return End(LoaderPhase(*this).Run());
}

std::optional<UpdateEnding> UpdateRun::ReadIdentity(int number)
{
    Phases.Begin(phase::kIdentity);
    // Not examined: a port that did not open has shown its box, and the
    // identity read below then fails for want of an answer.
    Port.Open(number);
    if (Stopped())
        return UpdateEnding::Interrupted;
    IdentityRead = true;

    PanelIdentity identity;
    const StepResult read =
        Exchanged(Requests.ReadMemory(kIdentityAddress, identity.Bytes.data(), kIdentityLength));
    if (read.failed()) {
        AttemptFailed(read, "identity read");
        ending_text_ = read.text;
        return FailedWith(UpdateEnding::IdentityReadFailed);
    }
    IdentityBefore = identity.Bytes;
    Phases.End();
    return std::nullopt;
}

std::optional<UpdateEnding> UpdateRun::ChooseImage()
{
    PanelIdentity identity;
    identity.Bytes = *IdentityBefore;
    const auto name = BuildFirmwareName(identity, Start.SelectorIndex);
    if (!name)
        return UpdateEnding::ReleaseRejected;
    Firmware = *name;

    Image.SelectFirmwareImage(*name);
    if (Image.ImageEnd == 0)
        return UpdateEnding::NoFirmware;
    if (const auto image = ImageOfFirmware(*name))
        ChosenImage = RecordedImage{image->Image, image->Sha256, image->StandIn};
    if (RefusesStandIn())
        return UpdateEnding::StandInRefused;

    Window.LogLine(kUpdateStarted);
    Window.LogLine(*name);
    Window.LogLine("");
    Window.LogLine(kUpdatingEeprom);
    Window.LogLine("");
    Window.LogLine(kPleaseWait);
    Window.SetFieldText(Field::PanelType, *name);
    if (Stopped())
        return UpdateEnding::Interrupted;
    return std::nullopt;
}

std::optional<UpdateEnding> UpdateRun::WriteEeprom()
{
    Phases.Begin(phase::kEeprom);
    if (EepromPhase(*this).Run().failed())
        return FailedWith(UpdateEnding::EepromFailed);
    Phases.End();
    return std::nullopt;
}

std::optional<UpdateEnding> UpdateRun::FailedWith(UpdateEnding ending) const
{
    return Stopped() ? UpdateEnding::Interrupted : ending;
}

UpdateEnding UpdateRun::End(UpdateEnding ending)
{
    Phases.End();
    const EndingShape& shape = ShapeOf(ending);
    for (const char* line : shape.Lines)
        Window.LogLine(line != nullptr ? line : ending_text_);
    if (shape.PauseMs > 0)
        Time.Pause(shape.PauseMs);
    if (shape.DisablesButton)
        Window.SetButtonEnabled(false);
    // The port is still open: the panel speaks the service protocol again after its restart.
    if (ending == UpdateEnding::Completed)
        Verified = VerifyAfterRestart(*this);
    if (!shape.HidesGauge) {
        Port.Close();
        return ending;
    }
    // The common end.
    Window.SetGaugeVisible(false);
    Port.Close();
    return ending;
}

StepResult UpdateRun::Exchanged(const LinkResult& result)
{
    if (result.ok())
        return StepResult::Done();
    // Nothing was sent for a request that cannot be framed, so the port then
    // stays as it was.
    if (result.failure != LinkFailure::CountTooLarge)
        Port.AfterFailedExchange();
    return StepResult::Failed(StepFailure::LinkFailed, result);
}

void UpdateRun::AttemptFailed(const StepResult& step, const std::string& what)
{
    const std::string words = step.link.failed() ? FailureWords(step.link) : step.text;
    Phases.Failed(step.link.failed() ? FailureKind(step.link) : "differs",
                  words.empty() ? what : what + ": " + words);
}

void UpdateRun::RestorePort()
{
    if (Port.Restore(stop_) != PortRestore::Reopened)
        return;
    Phases.Reconnected();
    Window.LogLine(kPortReconnected);
}

bool UpdateRun::RefusesStandIn() const
{
    return CarriesStandInImages() && !Options.AllowStandIn;
}

}  // namespace varnox
