#pragma once
// The simulated serial link for in-process tests: a port that leads to a
// SimPanel on simulated time. A whole update, with every wait at its specified
// length, runs in a few seconds of real time.
//
// Writes reach the panel at clock.Now(); a reply byte is waiting once its
// arrival time has come; WaitForInput advances the SimClock to the next
// arrival or to its deadline, never beyond. Like a real port, it is opened
// exclusively, it loses what arrives while it is closed, and it understands
// the panel only at 38400 baud, 8 data bits, even parity, 1 stop bit. When the
// panel's adapter drops out (a pull-return fault) the open device is gone for
// good, and the port cannot be opened until the adapter is back.

#include <memory>
#include <optional>
#include <string>

#include "comm/serial_device.h"
#include "core/clock.h"
#include "sim/sim_panel.h"

namespace varnox {

// What the opener and its devices share; devices may outlive the opener.
struct SimLinkState {
    SimPanel* Panel = nullptr;
    SimClock* Clock = nullptr;
    int Port = 1;
    bool Held = false;
    int Opens = 0;
    int FailedOpens = 0;
    int FailNextOpens = 0;
    std::string FailReason;
    OpenRefusal FailRefusal = OpenRefusal::Busy;
    OpenRefusal LastRefusal = OpenRefusal::None;
    // The line settings live with the port, as a tty keeps them between opens.
    LineDescription Line{};  // 9600 baud, 8 data bits, no parity until configured
    bool LineSet = false;
    // Writes made while the line settings were not the panel's: noise to it.
    int GarbledWrites = 0;
};

class SimDevice final : public SerialDevice {
public:
    explicit SimDevice(std::shared_ptr<SimLinkState> link);
    ~SimDevice() override;
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    CommResult Configure(const LineDescription& line) override;
    CommResult Write(const uint8_t* data, std::size_t count) override;
    CommResult Read(uint8_t* destination, std::size_t count, std::size_t& delivered) override;
    long BytesWaiting() override;
    uint32_t TakeErrorFlags() override { return 0; }
    WaitResult WaitForInput(long seen, double timeout_seconds) override;
    CommResult Close() override;

private:
    // Why the device cannot be used (closed, or its adapter gone); Done when it can.
    CommResult Usable(CommFailure kind) const;

    std::shared_ptr<SimLinkState> link_;
    bool open_ = true;
    unsigned dropouts_at_open_ = 0;  // a later dropout took this device's adapter away
};

class SimPortOpener final : public PortOpener {
public:
    // `panel` and `clock` must outlive the opener and every device it opens.
    // Only port `port` leads to the panel.
    SimPortOpener(SimPanel& panel, SimClock& clock, int port = 1);

    std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) override;
    std::string DeviceName(int port) const override;
    OpenRefusal LastRefusal() const override { return link_->LastRefusal; }

    // The next `count` opens fail with `reason` (e.g. another program holds the port).
    void FailNextOpens(int count, const std::string& reason = "Device or resource busy",
                       OpenRefusal refusal = OpenRefusal::Busy);

    int Opens() const { return link_->Opens; }
    int FailedOpens() const { return link_->FailedOpens; }
    bool Held() const { return link_->Held; }
    int GarbledWrites() const { return link_->GarbledWrites; }
    // The line last set on the port; nullopt when none was set.
    std::optional<LineDescription> LastLine() const;

private:
    std::shared_ptr<SimLinkState> link_;
};

// Whether `settings` are the panel's line: 38400 baud, 8 data bits, even parity, 1 stop bit.
bool IsPanelLine(const LineDescription& line);

}  // namespace varnox
