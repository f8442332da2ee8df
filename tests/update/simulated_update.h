#pragma once
// An update engine wired to the in-process simulated panel on simulated time,
// with a window that records what it was shown and a clock that records the
// engine's own pauses.

#include <functional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "sim/sim_device.h"
#include "sim/sim_panel.h"
#include "tests/support/engine_for_tests.h"
#include "tests/support/expected_logs.h"
#include "tests/support/phase_run.h"
#include "tests/support/recording_window.h"
#include "update/update_engine.h"

namespace varnox::testing {

// Identity blocks whose names select an image of each of the four sizes.
inline constexpr IdentityBytes kIdentity192536 = {0x00, 0x00, 0x0B, 0x20, 0x00, 0x00};  // FWKA1AVRXGAA0I_2x04
inline constexpr IdentityBytes kIdentity188028 = {0x00, 0x00, 0x0B, 0x20, 0x02, 0x00};  // FWKA1DVRXGAA0I_2x04
inline constexpr IdentityBytes kIdentity169996 = {0x00, 0x00, 0x0B, 0x20, 0x03, 0x00};  // FWKA1EVRXGAA0I_2x04
inline constexpr IdentityBytes kIdentity160980 = {0x00, 0x00, 0x0B, 0x20, 0x04, 0x00};  // FWKAELVRXGAA0I_2x04

// The engine's clock: the simulated one, with every pause noted together with
// whether the shared port was open at that moment.
class PauseRecordingClock final : public Clock {
public:
    explicit PauseRecordingClock(SimClock& clock) : clock_(clock) {}
    double Now() override { return clock_.Now(); }
    void Pause(int milliseconds) override
    {
        pauses.push_back({milliseconds, port_open ? port_open() : false});
        clock_.Pause(milliseconds);
    }

    struct Noted {
        int milliseconds;
        bool port_open;
    };
    std::vector<Noted> pauses;
    std::function<bool()> port_open;

private:
    SimClock& clock_;
};

inline PanelConfig PanelWith(IdentityBytes identity, std::vector<PanelFault> faults = {})
{
    PanelConfig config;
    config.Identity = identity;
    config.Faults = std::move(faults);
    return config;
}

inline PanelFault Fault(PanelFaultType type, RequestKind kind, unsigned first, unsigned count = 1)
{
    PanelFault fault;
    fault.Type = type;
    fault.Kind = kind;
    fault.First = first;
    fault.Count = count;
    return fault;
}

struct SimulatedUpdate {
    explicit SimulatedUpdate(PanelConfig config = {}) : panel(std::move(config))
    {
        clock.port_open = [this] { return engine.PortIsOpen(); };
        PrepareForTests(engine);
    }

    std::size_t Count(RequestKind kind) const { return panel.CountOf(kind); }
    // Addresses of the requests of `kind`, in the order the panel received them.
    std::vector<uint32_t> Addresses(RequestKind kind, int count = -1) const
    {
        std::vector<uint32_t> addresses;
        for (const RequestRecord& request : panel.Requests())
            if (request.Kind == kind && (count < 0 || request.Count == count))
                addresses.push_back(request.Address);
        return addresses;
    }

    SimClock sim_clock;
    PauseRecordingClock clock{sim_clock};
    SimPanel panel;
    SimPortOpener opener{panel, sim_clock};
    RecordingWindow window;
    UpdateEngine engine{opener, clock, window};
    // For tests that drive one phase on its own (the engine's port stays closed).
    PhaseRun phases{opener, clock, window};
};

// The opening lines every run that reaches the EEPROM phase writes.
inline std::vector<std::string> OpeningLines(const std::string& name)
{
    return {"UPDATING PROCESS STARTED", name, "", "UPDATING EEPROM MEMORY", "", "PLEASE WAIT..."};
}

}  // namespace varnox::testing
