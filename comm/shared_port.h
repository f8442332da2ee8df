#pragma once
// The one port record through which every exchange of an update travels.

#include <string>

#include "comm/comm.h"
#include "core/window_ops.h"

namespace varnox {

inline constexpr const char* kPortErrorTitle = "Error";
inline constexpr const char* kPortErrorText = "Impossibile accedere alla porta seriale";

class SharedPort {
public:
    SharedPort(PortOpener& opener, WindowOps& window) : opener_(opener), window_(window) {}
    SharedPort(const SharedPort&) = delete;
    SharedPort& operator=(const SharedPort&) = delete;

    // Releases a device the record still holds, initialises DefaultComm with
    // the panel's line settings and opens it; on failure shows the error box.
    // True = opened.
    bool OpenDefaultPort(int port);
    void CloseDefaultPort();

    // Whether the shared port is open now (tests, front-ends).
    bool IsOpen() const { return DefaultComm.Handle >= 0; }

    TComm DefaultComm;
    TComm* CurrentComm = nullptr;  // empty until the first OpenDefaultPort

    PortOpener& Opener() { return opener_; }

private:
    PortOpener& opener_;
    WindowOps& window_;
};

}  // namespace varnox
