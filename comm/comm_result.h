#pragma once
// How an operation on a serial port ended: a kind, the port's own error text,
// the system's words and the line's error flags, captured where the failure
// happened.

#include <cstdint>
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
    // The port's own error text ("Device identifier is invalid or unsupported");
    // empty where it has none.
    std::string text;
    // What the system said, e.g. "/dev/ttyUSB0: the port is in use by another program".
    std::string system;
    // The line's error flags (CommErrorFlag) taken at a failed transfer.
    uint32_t line_errors = 0;

    bool ok() const { return kind == CommFailure::None; }
    bool failed() const { return kind != CommFailure::None; }

    static CommResult Done() { return {}; }
    static CommResult Failed(CommFailure kind, std::string system, std::string text = {})
    {
        return {kind, std::move(text), std::move(system), 0};
    }
};

}  // namespace varnox
