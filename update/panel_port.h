#pragma once
// The one port through which every exchange of an update travels. The engine
// owns it: it opens it, keeps it through failed exchanges, re-opens it when
// the adapter went away, and shows the box when it cannot be had.

#include <atomic>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "update/window_ops.h"

namespace varnox {

inline constexpr const char* kPortErrorTitle = "Error";
inline constexpr const char* kPortErrorText = "Impossibile accedere alla porta seriale";

// A port busy or denied (a modem manager probing a fresh adapter, a Windows
// driver not yet done with the last handle) is tried again for this long.
inline constexpr double kBusyRetrySeconds = 3.0;
// An adapter that dropped out is waited for this long.
inline constexpr double kAdapterReturnSeconds = 10.0;
inline constexpr int kOpenRetryStepMs = 250;

// What Restore did.
enum class PortRestore {
    Kept,      // the port was fine and stays as it is
    Reopened,  // the adapter was gone (or a write failed) and the port is open again
    Failed,    // it could not be had again; the box has been shown
};

class PanelPort {
public:
    PanelPort(PortOpener& opener, Clock& clock, WindowOps& window)
        : opener_(opener), clock_(clock), window_(window)
    {
    }
    PanelPort(const PanelPort&) = delete;
    PanelPort& operator=(const PanelPort&) = delete;

    // Opens port `number` with the panel's line, releasing a device still held
    // first; a busy or denied port is retried for kBusyRetrySeconds. A failure
    // shows the port-error box, the system's reason as its detail.
    CommResult Open(int number);
    CommResult Close() { return serial_.Close(); }
    bool IsOpen() const { return serial_.IsOpen(); }

    // After a failed exchange: a device that is gone (or failed a write) is
    // let go; otherwise what is waiting is discarded and the port stays open,
    // since every re-open pulses the modem lines and may be refused.
    void AfterFailedExchange();
    // Before another attempt: a port that needs re-opening waits up to
    // kAdapterReturnSeconds for its adapter (ending early when `stop` is set).
    // Once that has failed in a run, later calls fail at once.
    PortRestore Restore(const std::atomic<bool>& stop);

    // The record the requests and the loader exchanges talk through.
    SerialPort& Serial() { return serial_; }
    PortOpener& Opener() { return opener_; }

private:
    // Opens until it works, the refusal is not one worth waiting out (a busy
    // port is; while `reconnecting`, every refusal is), or `seconds` have
    // passed; then the box on failure.
    CommResult OpenWithin(double seconds, bool reconnecting, const std::atomic<bool>* stop);

    PortOpener& opener_;
    Clock& clock_;
    WindowOps& window_;
    SerialPort serial_;
    bool gave_up_ = false;
};

}  // namespace varnox
