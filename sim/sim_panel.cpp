#include "sim/sim_panel.h"

#include <algorithm>
#include <numeric>

#include "protocol/cobs.h"
#include "protocol/crc8.h"
#include "protocol/packet_buffer.h"

namespace varnox {
namespace {

constexpr uint8_t kHandshakeCommand = 0x48;
constexpr uint8_t kHandshakeFrameStart = 0x06;
constexpr std::size_t kHandshakeFrameLength = 7;
constexpr std::size_t kMicroKernelPacketLength = 66;
constexpr std::size_t kFlashPacketLength = 132;
constexpr std::size_t kFlashDataLength = 128;
constexpr std::size_t kHeaderLength = 5;
// A read reply of count + 6 bytes must still fit a 253-byte packet.
constexpr uint8_t kMaxCount = 247;

enum ServiceCommand : uint8_t {
    kCommandReadMemory = 1,
    kCommandWriteMemory = 2,
    kCommandReadEeprom = 3,
    kCommandWriteEeprom = 4,
};

uint8_t Sum8(const uint8_t* data, std::size_t count)
{
    return static_cast<uint8_t>(std::accumulate(data, data + count, 0u) & 0xFF);
}

}  // namespace

SimPanel::SimPanel(PanelConfig config)
    : config_(std::move(config)),
      memory_(config_.Identity, config_.EepromWord),
      identity_before_update_(config_.Identity)
{
}

void SimPanel::Receive(std::span<const uint8_t> bytes, double time)
{
    for (const uint8_t value : bytes) {
        const double done = std::max(time, rx_free_) + config_.Timing.ByteTime;
        rx_free_ = done;
        TakeByte(value, done);
    }
}

void SimPanel::Settle(double time)
{
    const PanelMode settled = Mode(time);
    if (settled != mode_) {
        mode_ = settled;
        input_.clear();
    }
}

PanelMode SimPanel::Mode(double time) const
{
    if (time < busy_until_)
        return mode_;
    if (mode_ == PanelMode::Erasing)
        return PanelMode::Flashing;
    if (mode_ == PanelMode::Restarting)
        return PanelMode::Service;
    return mode_;
}

void SimPanel::TakeByte(uint8_t value, double done)
{
    if (pulled_ || done < adapter_back_)
        return;  // nothing reaches a panel whose adapter is gone
    Settle(done);
    if (mode_ == PanelMode::Erasing || mode_ == PanelMode::Restarting)
        return;

    // A packet that stopped arriving was broken off; start afresh.
    if (!input_.empty() && done - last_input_ > config_.Timing.InputGap) {
        ++rejected_;
        input_.clear();
    }
    if (input_.empty()) {
        input_start_ = done - config_.Timing.ByteTime;
        heard_while_writing_ = false;
    }
    last_input_ = done;
    input_.push_back(value);
    const Arrival arrival{input_start_, done};

    switch (mode_) {
    case PanelMode::Service:
        if (EepromBusy(done))
            heard_while_writing_ = true;
        if (value == 0) {
            if (heard_while_writing_)
                ++ignored_while_writing_;
            else
                HandleFrame(arrival);
            input_.clear();
        } else if (input_.size() >= kMaxFrameLength) {
            ++rejected_;
            input_.clear();
        }
        break;
    case PanelMode::Loader:
        // Until the microKernel begins, the tool may send more handshake
        // frames; no microKernel packet starts with their first two bytes.
        if (!microkernel_started_ && input_[0] == kHandshakeFrameStart &&
            (input_.size() < 2 || input_[1] == kHandshakeCommand)) {
            if (input_.size() == kHandshakeFrameLength) {
                HandleFrame(arrival);
                input_.clear();
            }
        } else if (input_.size() == kMicroKernelPacketLength) {
            HandleLoaderPacket(arrival);
            input_.clear();
        }
        break;
    case PanelMode::Flashing:
        if (input_.size() == kFlashPacketLength) {
            HandleFlashPacket(arrival);
            input_.clear();
        }
        break;
    case PanelMode::Erasing:
    case PanelMode::Restarting: break;
    }
}

void SimPanel::HandleFrame(const Arrival& arrival)
{
    TPacketBuffer buffer;
    std::copy(input_.begin(), input_.end(), buffer.Bytes);
    buffer.Length = static_cast<uint8_t>(input_.size());
    if (CobsDecode(buffer).failed()) {
        ++rejected_;
        return;
    }
    const uint8_t* packet = buffer.Bytes;
    const std::size_t length = buffer.Length;
    if (length < kHeaderLength || Crc8Bytes(packet, 4) != packet[4]) {
        ++rejected_;
        return;
    }

    if (packet[0] == kHandshakeCommand && length == kHeaderLength) {
        const uint32_t address = static_cast<uint32_t>(packet[2] << 8 | packet[3]);
        const Admission admission = Admit(RequestKind::Handshake, address, packet[1], arrival);
        if (!admission.Act)
            return;
        mode_ = PanelMode::Loader;
        // The loader answers with the complement of the command; the tool
        // checks only that byte.
        std::vector<uint8_t> reply = {static_cast<uint8_t>(~kHandshakeCommand), packet[1], packet[2], packet[3]};
        reply.push_back(Crc8Bytes(reply.data(), reply.size()));
        Answer(RequestKind::Handshake, std::move(reply), true, admission.Fault, arrival);
        return;
    }
    if (mode_ != PanelMode::Service) {
        ++rejected_;
        return;
    }
    HandleServiceRequest(packet, length, arrival);
}

void SimPanel::HandleServiceRequest(const uint8_t* packet, std::size_t length, const Arrival& arrival)
{
    const uint8_t command = packet[0];
    const uint8_t count = packet[1];
    const uint16_t address = static_cast<uint16_t>(packet[2] << 8 | packet[3]);

    if (command == kCommandReadMemory || command == kCommandReadEeprom) {
        if (length != kHeaderLength || count > kMaxCount) {
            ++rejected_;
            return;
        }
        const bool eeprom = command == kCommandReadEeprom;
        const RequestKind kind = eeprom ? RequestKind::ReadEeprom : RequestKind::ReadMemory;
        const Admission admission = Admit(kind, address, count, arrival);
        if (!admission.Act)
            return;
        // The reply echoes the request header, then the data, then the CRC of
        // everything before it. Addresses wrap at 16 bits.
        const std::vector<uint8_t>& store = eeprom ? memory_.Eeprom : memory_.Flash;
        std::vector<uint8_t> reply(packet, packet + kHeaderLength);
        for (unsigned i = 0; i < count; ++i)
            reply.push_back(store[static_cast<uint16_t>(address + i)]);
        reply.push_back(Crc8Bytes(reply.data(), reply.size()));
        Answer(kind, std::move(reply), true, admission.Fault, arrival);
        return;
    }

    if (command == kCommandWriteMemory || command == kCommandWriteEeprom) {
        if (length != count + 6u || Crc8Bytes(packet + kHeaderLength, count) != packet[count + 5]) {
            ++rejected_;
            return;
        }
        const bool eeprom = command == kCommandWriteEeprom;
        const RequestKind kind = eeprom ? RequestKind::WriteEeprom : RequestKind::WriteMemory;
        const Admission admission = Admit(kind, address, count, arrival);
        if (!admission.Act)
            return;
        std::vector<uint8_t>& store = eeprom ? memory_.Eeprom : memory_.Flash;
        for (unsigned i = 0; i < count; ++i)
            store[static_cast<uint16_t>(address + i)] = packet[kHeaderLength + i];
        if (admission.Fault != nullptr && admission.Fault->Type == PanelFaultType::StoreWrong && count > 0)
            store[static_cast<uint16_t>(address + count - 1)] ^= 0xFF;
        const bool early = admission.Fault != nullptr && admission.Fault->Type == PanelFaultType::EarlyAck;
        if (eeprom && early) {
            // Acknowledged before it is stored: the store follows the acknowledgement's start.
            const double acknowledged = arrival.End + config_.Timing.WriteDelay;
            eeprom_writes_.push_back({acknowledged, acknowledged + config_.Timing.EepromWriteTime});
        } else if (eeprom) {
            // The store ends as the acknowledgement starts.
            const double stored = arrival.End + DelayOf(kind);
            eeprom_writes_.push_back({stored - config_.Timing.EepromWriteTime, stored});
        }
        // The acknowledgement is the request header: four bytes and their CRC.
        std::vector<uint8_t> reply(packet, packet + kHeaderLength);
        Answer(kind, std::move(reply), true, admission.Fault, arrival);
        return;
    }

    ++rejected_;
}

void SimPanel::HandleLoaderPacket(const Arrival& arrival)
{
    const uint16_t address = static_cast<uint16_t>(input_[0] << 8 | input_[1]);
    const uint8_t* data = input_.data() + 2;
    const std::size_t data_length = kMicroKernelPacketLength - 2;

    if (address == 0) {
        // The closing packet: acknowledged by the sum of its data alone, then
        // the loader erases the program flash and ignores the line meanwhile.
        const Admission admission = Admit(RequestKind::Closing, 0, 0, arrival);
        if (!admission.Act)
            return;
        Answer(RequestKind::Closing, {Sum8(data, data_length)}, false, admission.Fault, arrival);
        identity_before_update_ = memory_.Identity();
        memory_.EraseProgramFlash();
        mode_ = PanelMode::Erasing;
        busy_until_ = arrival.End + DelayOf(RequestKind::Closing) + config_.Timing.EraseTime;
        return;
    }

    const Admission admission = Admit(RequestKind::MicroKernel, address, 0, arrival);
    if (!admission.Act)
        return;
    microkernel_started_ = true;
    for (std::size_t i = 0; i < data_length; ++i)
        memory_.Ram[static_cast<uint16_t>(address + i)] = data[i];
    Answer(RequestKind::MicroKernel, {Sum8(input_.data(), input_.size())}, false, admission.Fault, arrival);
}

void SimPanel::HandleFlashPacket(const Arrival& arrival)
{
    if (std::all_of(input_.begin(), input_.end(), [](uint8_t b) { return b == 0; })) {
        // The end packet: no answer; the panel restarts into its new firmware.
        const Admission admission = Admit(RequestKind::End, 0, 0, arrival);
        if (!admission.Act)
            return;
        mode_ = PanelMode::Restarting;
        busy_until_ = arrival.End + config_.Timing.RestartTime;
        restart_done_ = busy_until_;
        microkernel_started_ = false;
        if (admission.Fault != nullptr && admission.Fault->Type == PanelFaultType::OldIdentity)
            memory_.WriteIdentity(identity_before_update_);
        if (admission.Fault != nullptr && admission.Fault->Type == PanelFaultType::SilentAfterRestart)
            silent_ = true;
        return;
    }

    const uint32_t address = static_cast<uint32_t>(input_[1] << 16 | input_[2] << 8 | input_[3]);
    if (input_[0] != 0 || address + kFlashDataLength > kPanelFlashSize) {
        ++rejected_;
        return;
    }
    const Admission admission = Admit(RequestKind::Flash, address, 0, arrival);
    if (!admission.Act)
        return;
    std::copy_n(input_.begin() + 4, kFlashDataLength, memory_.Flash.begin() + address);
    // Bytes 0 to 2 of the reply are not examined by the tool: the address.
    Answer(RequestKind::Flash, {input_[1], input_[2], input_[3], Sum8(input_.data(), input_.size())}, false,
           admission.Fault, arrival);
}

SimPanel::Admission SimPanel::Admit(RequestKind kind, uint32_t address, uint8_t count, const Arrival& arrival)
{
    const unsigned ordinal = ++ordinals_[static_cast<std::size_t>(kind)];
    requests_.push_back({kind, address, count, arrival.End, false});
    if (silent_)
        return {};

    const PanelFault* found = nullptr;
    for (const PanelFault& fault : config_.Faults) {
        if (!fault.Applies(kind, ordinal))
            continue;
        if (fault.Type == PanelFaultType::Silent || fault.Type == PanelFaultType::Pull) {
            silent_ = true;
            pulled_ = pulled_ || fault.Type == PanelFaultType::Pull;
            return {};
        }
        if (fault.Type == PanelFaultType::PullReturn) {
            DropAdapter(arrival.End);
            return {};
        }
        if (found == nullptr)
            found = &fault;
    }
    return {true, found};
}

bool SimPanel::EepromBusy(double time)
{
    while (!eeprom_writes_.empty() && eeprom_writes_.front().End <= time)
        eeprom_writes_.pop_front();
    return !eeprom_writes_.empty() && eeprom_writes_.front().Start <= time;
}

void SimPanel::DropAdapter(double time)
{
    // The request went with the adapter, and so did every reply on its way.
    ++dropouts_;
    adapter_back_ = time + config_.Timing.AdapterReturn;
    output_.clear();
    tx_free_ = std::min(tx_free_, time);
}

void SimPanel::PowerCycle(double time)
{
    // Whatever was still on its way out is cut off.
    while (!output_.empty() && output_.back().At > time)
        output_.pop_back();
    tx_free_ = std::min(tx_free_, time);
    input_.clear();
    eeprom_writes_.clear();
    microkernel_started_ = false;
    silent_ = pulled_;
    mode_ = PanelMode::Restarting;
    busy_until_ = time + config_.Timing.RestartTime;
}

std::size_t SimPanel::CountOf(RequestKind kind) const
{
    return static_cast<std::size_t>(std::count_if(requests_.begin(), requests_.end(),
                                                  [kind](const RequestRecord& r) { return r.Kind == kind; }));
}

std::size_t SimPanel::ArrivedBy(double time) const
{
    const auto end =
        std::partition_point(output_.begin(), output_.end(), [time](const TimedByte& b) { return b.At <= time; });
    return static_cast<std::size_t>(end - output_.begin());
}

std::vector<uint8_t> SimPanel::TakeArrived(double time, std::size_t limit)
{
    const std::size_t n = std::min(ArrivedBy(time), limit);
    std::vector<uint8_t> bytes;
    bytes.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes.push_back(output_.front().Value);
        output_.pop_front();
    }
    return bytes;
}

void SimPanel::DropArrived(double time)
{
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(ArrivedBy(time)));
}

}  // namespace varnox
