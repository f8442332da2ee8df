#include "update/panel_port.h"

namespace varnox {

CommResult PanelPort::OpenWithin(double seconds, bool missing_too, const std::atomic<bool>* stop)
{
    const double give_up = clock_.Now() + seconds;
    for (;;) {
        CommResult opened = serial_.Open(opener_);
        if (opened.ok())
            return opened;
        const OpenRefusal refusal = opener_.LastRefusal();
        const bool worth_waiting =
            opened.kind == CommFailure::OpenRefused &&
            (refusal == OpenRefusal::Busy || (missing_too && refusal == OpenRefusal::Missing));
        if (!worth_waiting || clock_.Now() >= give_up || (stop != nullptr && stop->load())) {
            window_.MessageBox(BoxKind::Error, kPortErrorTitle, kPortErrorText, opened.system);
            return opened;
        }
        clock_.Pause(kOpenRetryStepMs);
    }
}

CommResult PanelPort::Open(int number)
{
    serial_.Number = number;
    serial_.Line = kPanelLine;
    gave_up_ = false;
    return OpenWithin(kBusyRetrySeconds, false, nullptr);
}

void PanelPort::AfterFailedExchange()
{
    if (serial_.NeedsReopen())
        serial_.Release();
    else
        serial_.DiscardInput(clock_);
}

PortRestore PanelPort::Restore(const std::atomic<bool>& stop)
{
    if (serial_.IsOpen() && !serial_.NeedsReopen())
        return PortRestore::Kept;
    if (gave_up_)
        return PortRestore::Failed;
    serial_.Release();
    if (OpenWithin(kAdapterReturnSeconds, true, &stop).ok())
        return PortRestore::Reopened;
    gave_up_ = true;
    return PortRestore::Failed;
}

}  // namespace varnox
