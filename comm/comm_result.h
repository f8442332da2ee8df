#pragma once
// How an operation on a serial port ended: a kind, the port's own error text
// and the system's words, captured where the failure happened.

#include <string>

namespace varnox {

enum class CommFailure {
    None,
    OpenRefused,   // the system would not open the device
    LineRefused,   // the device opened but did not take the line description
    NotOpen,       // the port (or device) is closed
    WriteFailed,   // not every byte went out
    ReadFailed,    // the device failed while delivering bytes
    CloseRefused,  // the platform refused to close; the device stays open
};

struct CommResult {
    CommFailure kind = CommFailure::None;
    // The port's own error text ("Device identifier is invalid or unsupported",
    // "Receive Framing error "); empty where it has none.
    std::string text;
    // What the system said, e.g. "/dev/ttyUSB0: the port is in use by another program".
    std::string system;

    bool ok() const { return kind == CommFailure::None; }
    bool failed() const { return kind != CommFailure::None; }

    static CommResult Done() { return {}; }
    static CommResult Failed(CommFailure kind, std::string system, std::string text = {})
    {
        return {kind, std::move(text), std::move(system)};
    }
};

}  // namespace varnox
