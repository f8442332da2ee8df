#pragma once
// SerialPort: one COM port as the tool uses it: its number, the line it is to
// run, and the device while it is open. Every operation reports its failure
// as a CommResult; the record keeps no error text of its own.

#include <cstdint>
#include <memory>
#include <string>

#include "comm/comm_result.h"
#include "comm/serial_device.h"
#include "core/clock.h"

namespace varnox {

// The panel's line: 38400 baud, 8 data bits, even parity, 1 stop bit, no flow
// control, DTR and RTS inactive.
inline constexpr LineDescription kPanelLine{38400, 8, Parity::Even, StopBits::One, false, false};

inline constexpr const char* kOpenFailedText = "Device identifier is invalid or unsupported";
inline constexpr const char* kCloseFailedText = "can't close the comm !!";

// The one word for a line's error flags, the most telling first: "framing",
// "parity", "overrun" (the receiver's or its queue's), "break"; empty for none.
const char* LineErrorKind(uint32_t flags);

// What a read delivered, and how it ended.
struct Received {
    std::size_t count = 0;
    CommResult result;
};

class SerialPort {
public:
    explicit SerialPort(int number = 0, LineDescription line = kPanelLine) : Number(number), Line(line) {}

    // Opens port `Number` through `opener` and sets `Line` on it. A device
    // still held is released first, whatever its Close says; a device that
    // opened but did not take the line is closed again.
    CommResult Open(PortOpener& opener);
    // A refused close keeps the device (and the port open).
    CommResult Close();
    bool IsOpen() const { return device_ != nullptr; }
    // Lets the device go without asking: destroying it closes it.
    void Release()
    {
        device_.reset();
        needs_reopen_ = false;
    }
    // The device vanished or a write failed since it was opened: only a new
    // open can make the port useful again. A failed exchange alone keeps it.
    bool NeedsReopen() const { return needs_reopen_; }

    // Sends `count` bytes; fails on a closed port.
    CommResult Send(const uint8_t* bytes, std::size_t count);
    // Takes at most `count` waiting bytes; nothing on a closed port.
    Received Receive(uint8_t* destination, std::size_t count);
    // Received bytes waiting; 0 when closed or when the device failed.
    long BytesWaiting();
    // The line's error flags gathered since they were last taken (a failed
    // transfer takes them into its result); 0 when closed.
    uint32_t TakeLineErrors() { return device_ ? device_->TakeErrorFlags() : 0; }
    // Discards what is waiting; bounded (1 s or 64 KiB) so a chattering line cannot hold it.
    void DiscardInput(Clock& clock);
    // Waits (without burning the CPU) until more than `seen` bytes are waiting
    // or `timeout_seconds` has passed. A closed port just times out on the
    // clock, so callers' deadlines still hold.
    WaitResult WaitForInput(Clock& clock, long seen, double timeout_seconds);

    // The open device (tests and probes); null while closed.
    SerialDevice* Device() const { return device_.get(); }

    int Number;
    LineDescription Line;

private:
    CommResult TransferFailure(CommFailure kind, const CommResult& device_result);

    std::unique_ptr<SerialDevice> device_;
    bool needs_reopen_ = false;
};

}  // namespace varnox
