#pragma once
// The one port through which every exchange of an update travels. The engine
// owns it: it opens and closes it, and shows the box when it cannot be opened.

#include "comm/serial_port.h"
#include "core/window_ops.h"

namespace varnox {

inline constexpr const char* kPortErrorTitle = "Error";
inline constexpr const char* kPortErrorText = "Impossibile accedere alla porta seriale";

class PanelPort {
public:
    PanelPort(PortOpener& opener, WindowOps& window) : opener_(opener), window_(window) {}
    PanelPort(const PanelPort&) = delete;
    PanelPort& operator=(const PanelPort&) = delete;

    // Opens port `number` with the panel's line, releasing a device still held
    // first. A failure shows the port-error box, the system's reason as its detail.
    CommResult Open(int number);
    CommResult Close() { return serial_.Close(); }
    bool IsOpen() const { return serial_.IsOpen(); }

    // The record the requests and the loader exchanges talk through.
    SerialPort& Serial() { return serial_; }
    PortOpener& Opener() { return opener_; }

private:
    PortOpener& opener_;
    WindowOps& window_;
    SerialPort serial_;
};

}  // namespace varnox
