#include "update/panel_port.h"

namespace varnox {

CommResult PanelPort::OpenWithin(double seconds, bool reconnecting, const std::atomic<bool>* stop)
{
    const double give_up = clock_.Now() + seconds;
    for (;;) {
        CommResult opened = serial_.Open(opener_);
        if (opened.ok())
            return opened;
        // While an adapter comes back, any refusal (a name not there yet, a
        // device that opens but will not take the line) means "not yet".
        const bool worth_waiting = reconnecting || (opened.kind == CommFailure::OpenRefused &&
                                                    opener_.LastRefusal() == OpenRefusal::Busy);
        if (!worth_waiting || clock_.Now() >= give_up || (stop != nullptr && stop->load())) {
            window_.ShowBox({BoxIcon::Error, kPortErrorTitle, kPortErrorText, opened.system});
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
