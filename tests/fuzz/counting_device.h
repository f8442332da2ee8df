#pragma once
// A SerialDevice that passes everything to another one and counts how often
// the input is looked at, so a fuzz target can tell a reply wait that sleeps
// between arrivals from one that polls in a loop.

#include <memory>
#include <string>
#include <vector>

#include "comm/serial_device.h"

namespace varnox::fuzz {

// Looks at the input (byte counts and waits) made after each write.
struct LookCounts {
    std::vector<long> AfterWrite{0};
    void Look() { ++AfterWrite.back(); }
    void Write() { AfterWrite.push_back(0); }
};

class CountingDevice final : public SerialDevice {
public:
    CountingDevice(std::unique_ptr<SerialDevice> inner, LookCounts& counts)
        : inner_(std::move(inner)), counts_(counts) {}

    int Handle() const override { return inner_->Handle(); }
    bool GetSettings(PlatformLineSettings& s) override { return inner_->GetSettings(s); }
    bool SetSettings(const PlatformLineSettings& s) override { return inner_->SetSettings(s); }
    bool Write(const uint8_t* data, std::size_t count) override
    {
        counts_.Write();
        return inner_->Write(data, count);
    }
    long Read(uint8_t* destination, std::size_t count) override { return inner_->Read(destination, count); }
    long BytesWaiting() override
    {
        counts_.Look();
        return inner_->BytesWaiting();
    }
    uint32_t TakeErrorFlags() override { return inner_->TakeErrorFlags(); }
    WaitResult WaitForInput(long seen, double timeout_seconds) override
    {
        counts_.Look();
        return inner_->WaitForInput(seen, timeout_seconds);
    }
    bool Close() override { return inner_->Close(); }
    std::string LastError() const override { return inner_->LastError(); }

private:
    std::unique_ptr<SerialDevice> inner_;
    LookCounts& counts_;
};

class CountingOpener final : public PortOpener {
public:
    CountingOpener(PortOpener& inner, LookCounts& counts) : inner_(inner), counts_(counts) {}
    std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) override
    {
        auto device = inner_.OpenPort(port, reason);
        if (!device) return nullptr;
        return std::make_unique<CountingDevice>(std::move(device), counts_);
    }
    std::string DeviceName(int port) const override { return inner_.DeviceName(port); }

private:
    PortOpener& inner_;
    LookCounts& counts_;
};

}  // namespace varnox::fuzz
