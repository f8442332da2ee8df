#pragma once
// The platform side of a serial port, kept small so that one file per platform
// (serial_linux.cpp, serial_win32.cpp) and the simulated link can each provide
// it. Everything above this interface is portable: the line is described in
// plain values, and each backend turns them into its own settings block.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "comm/comm_result.h"

namespace varnox {

struct PortInfo;  // comm/port_list.h

enum class Parity : uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : uint8_t { One, OneAndHalf, Two };

// What the line is to be. Raw transfer without flow control is implied.
struct LineDescription {
    // A rate the platform cannot set keeps the device's rate.
    uint32_t bits_per_second = 9600;
    uint8_t data_bits = 8;  // 4..8; a size the platform cannot set keeps the device's
    Parity parity = Parity::None;
    StopBits stop_bits = StopBits::One;
    bool dtr = false;  // the modem lines' state while the port is open
    bool rts = false;

    friend bool operator==(const LineDescription&, const LineDescription&) = default;
};

// How a wait for input ended.
enum class WaitResult {
    MoreInput,  // more bytes are waiting than the caller already saw
    TimedOut,   // the time ran out with no new byte
    Gone,       // the peer hung up or the device vanished; waiting again is useless
};

// Communication error flags, as the port reports them (low 16 bits).
enum CommErrorFlag : uint32_t {
    kRxQueueOverflow = 0x0001,
    kRxOverrun = 0x0002,
    kRxParity = 0x0004,
    kRxFraming = 0x0008,
    kBreak = 0x0010,
};

// One open device. Destroying it closes it. Failures come back as results
// whose `system` text says what the system reported at that moment.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Sets the line as described (and checks that the device took it).
    virtual CommResult Configure(const LineDescription& line) = 0;

    // Writes all bytes, giving up after a bounded time.
    virtual CommResult Write(const uint8_t* data, std::size_t count) = 0;
    // Reads at most `count` bytes that are already waiting; never blocks.
    // `delivered` says how many arrived, also when the device then failed.
    virtual CommResult Read(uint8_t* destination, std::size_t count, std::size_t& delivered) = 0;
    // Number of received bytes waiting; -1 when the device failed.
    virtual long BytesWaiting() = 0;
    // Communication error flags gathered since the last call, then cleared.
    virtual uint32_t TakeErrorFlags() = 0;
    // Waits until more than `seen` bytes are waiting, at most `timeout_seconds`.
    virtual WaitResult WaitForInput(long seen, double timeout_seconds) = 0;

    // Closes the device; a refusal leaves it open.
    virtual CommResult Close() = 0;

    // Told before the reads that drop stale input, so that a trace can tell
    // them from reads of a reply; devices that keep no trace ignore it.
    virtual void DiscardBegins() {}
    // What the user should know about this device's line settings, e.g. that
    // its chip may ignore the parity; empty when nothing.
    virtual std::string Warning() const { return {}; }
};

// Why an open failed, as far as a caller can act on it: a missing device may
// come back (an adapter plugged in again), a busy one may be let go (a modem
// manager probing a fresh port).
enum class OpenRefusal {
    None,
    Missing,  // no such device (yet)
    Busy,     // held by another program, or access denied
    Other,
};

// Turns a port number (COMn) into an open device. The platform opener maps
// numbers to device paths; the simulated link hands out simulated devices.
class PortOpener {
public:
    virtual ~PortOpener() = default;
    // Opens port `port` exclusively. On failure returns null and sets `reason`
    // to what the system said (busy, permission denied, no such device...).
    virtual std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) = 0;
    // Whether port `port` is there and free, found without disturbing it or
    // any other port: no line settings, no modem lines, no flush. Openers of
    // real ports look where the system tells; this default, for simulated
    // and test devices, opens and closes without configuring.
    virtual bool Available(int port)
    {
        std::string reason;
        return OpenPort(port, reason) != nullptr;
    }
    // How the last OpenPort failed; openers that cannot tell say Other.
    virtual OpenRefusal LastRefusal() const { return OpenRefusal::Other; }
    // The device that port `port` maps to, for display ("/dev/ttyUSB0").
    virtual std::string DeviceName(int port) const = 0;
    // The ports listed now (n-th found -> device), so that an adapter plugged
    // in since can be reached; openers whose COMn is the system's own ignore it.
    virtual void Learn(const std::vector<PortInfo>& ports) { (void)ports; }
    // The warning of the last device opened (SerialDevice::Warning), kept
    // after it is closed so that a caller can show it after a run.
    virtual std::string LastWarning() const { return {}; }
};

}  // namespace varnox
