#pragma once
// Decorators that write a port's traffic into a PortTrace: the opener notes
// each open (a second open of the same port as a re-open) and wraps the device
// it hands out; the device notes every byte written and read, the discards of
// stale input, the line's errors when they are taken at a failure, a device
// gone, and the close. Bytes and results pass unchanged.

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "comm/serial_device.h"
#include "trace/port_trace.h"

namespace varnox {

class TracedDevice final : public SerialDevice {
public:
    // `trace` must outlive the device.
    TracedDevice(std::unique_ptr<SerialDevice> inner, PortTrace& trace);
    ~TracedDevice() override;
    TracedDevice(const TracedDevice&) = delete;
    TracedDevice& operator=(const TracedDevice&) = delete;

    CommResult Configure(const LineDescription& line) override;
    CommResult Write(const uint8_t* data, std::size_t count) override;
    CommResult Read(uint8_t* destination, std::size_t count, std::size_t& delivered) override;
    long BytesWaiting() override;
    uint32_t TakeErrorFlags() override;
    WaitResult WaitForInput(long seen, double timeout_seconds) override;
    CommResult Close() override;
    void DiscardBegins() override;
    std::string Warning() const override { return inner_->Warning(); }

private:
    // Notes the device gone once: what follows fails the same way until a re-open.
    void Gone(const std::string& how);

    std::unique_ptr<SerialDevice> inner_;
    PortTrace& trace_;
    bool closed_ = false;
    bool gone_ = false;
    // Between DiscardBegins() and the discard's end; `discard_noted_` once a byte was dropped.
    bool discarding_ = false;
    bool discard_noted_ = false;
};

class TracedPortOpener final : public PortOpener {
public:
    // `inner` and `trace` must outlive the opener and every device it opens.
    TracedPortOpener(PortOpener& inner, PortTrace& trace) : inner_(inner), trace_(trace) {}

    std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) override;
    OpenRefusal LastRefusal() const override { return inner_.LastRefusal(); }
    // The menu's probe opens nothing worth a trace line.
    bool Available(int port) override { return inner_.Available(port); }
    std::string DeviceName(int port) const override { return inner_.DeviceName(port); }
    std::string LastWarning() const override { return inner_.LastWarning(); }
    void Learn(const std::vector<PortInfo>& ports) override { inner_.Learn(ports); }

private:
    PortOpener& inner_;
    PortTrace& trace_;
    std::mutex mutex_;
    std::set<int> opened_;  // ports opened before in this trace
};

// What a program opens its ports through: its own opener, or that opener
// traced once Start() was given a file.
class PortTracing {
public:
    // `inner` and `clock` must outlive this.
    PortTracing(PortOpener& inner, Clock& clock)
        : inner_(inner), trace_(clock), traced_(inner, trace_), following_(*this)
    {
    }
    PortTracing(const PortTracing&) = delete;
    PortTracing& operator=(const PortTracing&) = delete;

    // Starts the trace into `path`; an empty path keeps the ports untraced.
    // False with the reason when the file cannot be created.
    bool Start(const std::string& path, std::string& error);
    PortOpener& Opener() { return tracing_ ? static_cast<PortOpener&>(traced_) : inner_; }
    // Why the trace could not be written ("No space left on device"), once a
    // write has failed; empty otherwise. For one warning at the end of a run.
    std::string WriteFailure() { return tracing_ ? trace_.WriteFailure() : std::string(); }

    // For a window, whose trace can be chosen between runs: ends the trace
    // under way and traces into `path` from now on (none when it is empty).
    // On failure nothing is traced. Ports opened later follow it when opened
    // through Following().
    bool Switch(const std::string& path, std::string& error);
    PortOpener& Following() { return following_; }

private:
    // Opens through the traced or the plain opener, as the trace is at each open.
    class FollowingOpener final : public PortOpener {
    public:
        explicit FollowingOpener(PortTracing& tracing) : tracing_(tracing) {}
        std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) override
        {
            return tracing_.Opener().OpenPort(port, reason);
        }
        OpenRefusal LastRefusal() const override { return tracing_.inner_.LastRefusal(); }
        bool Available(int port) override { return tracing_.inner_.Available(port); }
        std::string DeviceName(int port) const override { return tracing_.inner_.DeviceName(port); }
        std::string LastWarning() const override { return tracing_.inner_.LastWarning(); }
        void Learn(const std::vector<PortInfo>& ports) override { tracing_.inner_.Learn(ports); }

    private:
        PortTracing& tracing_;
    };

    PortOpener& inner_;
    PortTrace trace_;
    TracedPortOpener traced_;
    FollowingOpener following_;
    std::atomic<bool> tracing_{false};
};

}  // namespace varnox
