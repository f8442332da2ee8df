#pragma once
// The simulated panel: a state machine over timed bytes, with no I/O and no
// threads. The tool's bytes go in with the time they were written; the reply
// bytes come out with the time each reaches the tool's input. An in-process
// serial device on simulated time and a pseudo-terminal server at real time
// both drive this one logic.
//
// What it plays, in the order of an update:
//  - service protocol (COBS frames, CRC-8): ReadMemory, ReadEeprom, WriteMemory,
//    WriteEeprom, and the bootloader handshake (command 0x48), which switches
//    it to its loader;
//  - loader: further handshake frames, 66-byte microKernel packets each
//    acknowledged by their 8-bit sum, the closing packet (address 0)
//    acknowledged by the sum of its data, then the erase of the program flash;
//  - 132-byte flash packets acknowledged by 4 bytes ending in their sum, and
//    the all-zero end packet, after which it restarts into the service
//    protocol with the identity block of its new flash.
// Each WriteEeprom is stored during the EEPROM write time just before its
// acknowledgement; a request with a byte arriving meanwhile is ignored whole.

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "sim/panel_config.h"
#include "sim/panel_memory.h"
#include "sim/request_kind.h"

namespace varnox {

enum class PanelMode {
    Service,     // firmware running: the service protocol
    Loader,      // handshake accepted: awaiting the microKernel
    Erasing,     // closing packet accepted: input is ignored
    Flashing,    // awaiting flash packets
    Restarting,  // end packet received: input is ignored
};

struct TimedByte {
    double At;  // when the byte is complete in the tool's input
    uint8_t Value;
};

// One request as the panel understood it.
struct RequestRecord {
    RequestKind Kind;
    uint32_t Address;  // 16-bit for the service protocol, 24-bit for flash packets
    uint8_t Count;     // data bytes of a service request; 0 otherwise
    double Time;       // when its last byte reached the panel
    bool Answered;     // false when a fault (or silence) kept the reply back
};

class SimPanel {
public:
    explicit SimPanel(PanelConfig config = {});

    // Bytes the tool wrote at `time`; they reach the panel one byte time apart.
    void Receive(std::span<const uint8_t> bytes, double time);

    // Number of reply bytes complete in the tool's input at `time`.
    std::size_t ArrivedBy(double time) const;
    // Removes and returns up to `limit` reply bytes complete at `time`.
    std::vector<uint8_t> TakeArrived(double time, std::size_t limit = SIZE_MAX);
    // Drops the reply bytes complete at `time` (a port that was closed lost them).
    void DropArrived(double time);
    // Every reply byte not yet taken, in order of arrival.
    const std::deque<TimedByte>& Pending() const { return output_; }

    // The mode at `time` (the erase and the restart end by themselves).
    PanelMode Mode(double time) const;
    // When the last restart after an end packet is over; nullopt before one.
    std::optional<double> RestartDoneAt() const { return restart_done_; }
    // A Silent or Pull fault has struck: nothing is answered any more.
    bool Silent() const { return silent_; }
    // A Pull fault has struck: the adapter is gone.
    bool Pulled() const { return pulled_; }
    // PullReturn faults so far, and when the adapter of the last one is back;
    // until then nothing reaches the panel. Its state survives the dropout.
    unsigned Dropouts() const { return dropouts_; }
    double AdapterBackAt() const { return adapter_back_; }

    // Power off and on: back to the service protocol with whatever the flash holds.
    void PowerCycle(double time);

    const std::vector<RequestRecord>& Requests() const { return requests_; }
    std::size_t CountOf(RequestKind kind) const;
    // Frames and packets the panel received but could not make sense of.
    std::size_t Rejected() const { return rejected_; }
    // Requests ignored because they came while the EEPROM was being written.
    std::size_t IgnoredWhileWriting() const { return ignored_while_writing_; }

    PanelMemory& Memory() { return memory_; }
    const PanelMemory& Memory() const { return memory_; }
    const PanelConfig& Config() const { return config_; }

private:
    struct Arrival {
        double Start;  // when the request's first byte began on the line
        double End;    // when its last byte was complete
    };

    void Settle(double time);
    void TakeByte(uint8_t value, double done);
    void HandleFrame(const Arrival& arrival);
    void HandleServiceRequest(const uint8_t* packet, std::size_t length, const Arrival& arrival);
    void HandleLoaderPacket(const Arrival& arrival);
    void HandleFlashPacket(const Arrival& arrival);

    // Counts and records the request. Act is false when the panel is (now)
    // silent and must neither act nor answer; Fault is the scripted fault for
    // this request, if any.
    struct Admission {
        bool Act = false;
        const PanelFault* Fault = nullptr;
    };
    Admission Admit(RequestKind kind, uint32_t address, uint8_t count, const Arrival& arrival);
    // Sends `reply` (a packet to be framed when `framed`) as the fault says.
    void Answer(RequestKind kind, std::vector<uint8_t> reply, bool framed, const PanelFault* fault,
                const Arrival& arrival);
    void Schedule(const std::vector<uint8_t>& bytes, double start, bool in_line);
    double DelayOf(RequestKind kind) const;
    // Whether a byte complete at `time` comes while the EEPROM is being written.
    bool EepromBusy(double time);
    void DropAdapter(double time);

    PanelConfig config_;
    PanelMemory memory_;

    PanelMode mode_ = PanelMode::Service;
    double busy_until_ = 0;  // end of the erase or of the restart
    bool microkernel_started_ = false;
    std::optional<double> restart_done_;
    bool silent_ = false;
    bool pulled_ = false;
    unsigned dropouts_ = 0;
    double adapter_back_ = 0;
    // What the identity block held when the last update erased the flash.
    IdentityBytes identity_before_update_{};

    // EEPROM writes still to come or under way, in order: [Start, End).
    struct Interval {
        double Start;
        double End;
    };
    std::deque<Interval> eeprom_writes_;
    bool heard_while_writing_ = false;  // a byte of the frame being received came during a write
    std::size_t ignored_while_writing_ = 0;

    // Input: the packet being received.
    std::vector<uint8_t> input_;
    double input_start_ = 0;
    double last_input_ = 0;
    double rx_free_ = 0;  // when the line from the tool is free again

    // Output: reply bytes in order of arrival.
    std::deque<TimedByte> output_;
    double tx_free_ = 0;

    std::vector<RequestRecord> requests_;
    unsigned ordinals_[kRequestKindCount] = {};
    std::size_t rejected_ = 0;
};

}  // namespace varnox
