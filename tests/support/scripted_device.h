#pragma once
// A serial line in simulated time, for tests that must check every byte and
// every wait of an exchange without waiting for real.
//
// A ScriptedLine is the far end of the line: the test scripts, for each write
// the PC makes, which bytes come back and how long after the write (all at
// once, byte by byte, or never). ScriptedDevice is the SerialDevice the code
// under test holds while the port is open; ScriptedOpener hands such devices
// out in place of the real backend and can be told to fail.
//
//     SimClock clock;
//     ScriptedLine line(clock);
//     ScriptedOpener opener(line);
//     line.ReplyToNextWrite(At(0.150, {0x06, ...}));   // answer the first write after 150 ms
//     line.ReplyToNextWrite(Never());                   // leave the second one unanswered
//
// Time: a byte scripted to arrive `after` seconds after a write arrives at the
// SimClock time of the write plus `after`. BytesWaiting counts the bytes whose
// arrival time has come (clock.Now(), to within a nanosecond so that sums of
// pauses such as 150 + 20 ms meet a byte scheduled at 170 ms); WaitForInput
// advances the clock to the next arrival, or to its timeout. Writing and
// reading take no simulated time.
//
// Port life: bytes that arrive while no device is open are lost, as on a real
// line; a device that is closed or destroyed drops its unread input. A port
// number can be open once at a time (the real backend opens exclusively), so
// a second open of a port that is still held fails as "busy".
//
// Everything is guarded by one mutex, so the code under test may run on
// another thread than the test; the SimClock itself is only touched under it.
// The line must outlive the devices and the opener.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "comm/serial_device.h"
#include "core/clock.h"

namespace varnox::testing {

// Bytes that reach the PC together, `after` seconds after the write that caused them.
struct Arrival {
    double after = 0;
    std::vector<uint8_t> bytes;
};

// The far end's answer to one write.
using Reply = std::vector<Arrival>;

// All `bytes` arrive at once, `after` seconds after the write.
Reply At(double after, std::vector<uint8_t> bytes);
// One byte every `interval` seconds, the first `first` seconds after the write.
Reply ByteByByte(double first, double interval, const std::vector<uint8_t>& bytes);
// Nothing comes back.
inline Reply Never()
{
    return {};
}

struct ReceivedWrite {
    double time = 0;  // SimClock time of the write
    int port = 0;
    std::vector<uint8_t> bytes;
};

struct LineEvent {
    enum Kind { Open, OpenFailed, Close, Write };
    Kind kind;
    double time;
    int port;
};

class ScriptedDevice;

class ScriptedLine {
public:
    explicit ScriptedLine(SimClock& clock) : clock_(clock) {}
    ScriptedLine(const ScriptedLine&) = delete;
    ScriptedLine& operator=(const ScriptedLine&) = delete;

    SimClock& Clock() { return clock_; }

    // --- What comes back ---
    // The reply to the next write that has none scripted yet (replies are used in order).
    void ReplyToNextWrite(Reply reply);
    // Answers the writes beyond the scripted ones; without it they get no reply.
    void SetResponder(std::function<Reply(const std::vector<uint8_t>& written)> responder);
    // Bytes that arrive unasked at the absolute SimClock time `at` (stale input, noise).
    void Inject(double at, const std::vector<uint8_t>& bytes);

    // --- Faults ---
    // The next `count` opens fail with `reason`.
    void FailNextOpens(int count, const std::string& reason = "No such file or directory");
    // Opens of `port` fail with "No such file or directory" while it is missing.
    void SetPortMissing(int port, bool missing);
    // Writes report failure and send nothing.
    void FailWrites(bool fail);
    // Reads report failure (-1).
    void FailReads(bool fail);
    // Each read delivers at most `limit` bytes, whatever was asked and waiting (-1: no limit).
    void LimitReads(long limit);
    // Reading or writing the line settings fails.
    void FailSettings(bool fail);
    // Close() is refused; the device stays open until it is destroyed.
    void RefuseClose(bool refuse);
    // Communication error flags reported by the next TakeErrorFlags.
    void RaiseErrorFlags(uint32_t flags);

    // --- What happened ---
    std::vector<ReceivedWrite> Writes() const;
    std::vector<LineEvent> Events() const;
    int Opens() const;   // successful opens
    int Closes() const;  // closes, including those by destruction
    bool IsOpen(int port) const;
    // Bytes that have arrived and wait to be read on the open port(s).
    long Waiting() const;
    // Scripted replies not yet used by a write.
    std::size_t UnusedReplies() const;
    // The line last set by Configure.
    LineDescription LastLine() const;
    // How often the input was looked at (byte counts and waits) before the
    // first write (entry 0) and after each write: tells a reply wait that
    // sleeps between arrivals from one that polls in a loop.
    std::vector<long> LooksAfterWrite() const;

    // Opens a device on this line for `port`, or null with `reason`.
    std::unique_ptr<SerialDevice> Open(int port, std::string& reason);

private:
    friend class ScriptedDevice;

    struct Pending {
        double at;
        uint8_t byte;
    };

    void Schedule(double at, const std::vector<uint8_t>& bytes);
    // Drops the bytes that have arrived by now (nobody is there to receive them).
    void DropArrived();
    long CountArrived() const;

    // Device side, called by ScriptedDevice.
    bool DeviceConfigure(const LineDescription& line);
    bool DeviceWrite(int port, const uint8_t* data, std::size_t count);
    long DeviceRead(uint8_t* destination, std::size_t count);
    long DeviceBytesWaiting();
    uint32_t DeviceTakeErrorFlags();
    WaitResult DeviceWaitForInput(long seen, double timeout_seconds);
    bool DeviceClose(int port, bool forced);

    SimClock& clock_;
    mutable std::mutex mutex_;

    std::deque<Reply> replies_;
    std::function<Reply(const std::vector<uint8_t>&)> responder_;
    std::vector<Pending> pending_;  // sorted by arrival time, stable

    int failing_opens_ = 0;
    std::string open_failure_reason_;
    std::set<int> missing_ports_;
    bool fail_writes_ = false;
    bool fail_reads_ = false;
    long read_limit_ = -1;
    bool fail_settings_ = false;
    bool refuse_close_ = false;
    uint32_t error_flags_ = 0;

    std::set<int> open_ports_;
    LineDescription line_{};
    std::vector<long> looks_after_write_{0};
    std::vector<ReceivedWrite> writes_;
    std::vector<LineEvent> events_;
};

// The SerialDevice of one open port on a ScriptedLine. Destroying it closes it.
class ScriptedDevice final : public SerialDevice {
public:
    ScriptedDevice(ScriptedLine& line, int port) : line_(line), port_(port) {}
    ~ScriptedDevice() override;

    CommResult Configure(const LineDescription& line) override;
    CommResult Write(const uint8_t* data, std::size_t count) override;
    CommResult Read(uint8_t* destination, std::size_t count, std::size_t& delivered) override;
    long BytesWaiting() override;
    uint32_t TakeErrorFlags() override;
    WaitResult WaitForInput(long seen, double timeout_seconds) override;
    CommResult Close() override;

private:
    ScriptedLine& line_;
    int port_;
    bool open_ = true;
};

// Opens ScriptedDevices on one line for any port number.
class ScriptedOpener final : public PortOpener {
public:
    explicit ScriptedOpener(ScriptedLine& line) : line_(line) {}
    std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) override
    {
        return line_.Open(port, reason);
    }
    std::string DeviceName(int port) const override { return "scripted:COM" + std::to_string(port); }

private:
    ScriptedLine& line_;
};

}  // namespace varnox::testing
