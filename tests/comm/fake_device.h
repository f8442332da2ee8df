#pragma once
// A SerialDevice whose behaviour the test sets field by field, and an opener
// that hands it out, for the record operations that need no real line and no
// time (tests/support/scripted_device.h plays a line in simulated time).

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "comm/serial_device.h"

namespace varnox::testing {

// What a fake device does and what was done to it; outlives the device.
struct FakeLine {
    std::deque<uint8_t> input;
    std::vector<uint8_t> written;
    uint32_t error_flags = 0;
    bool fail_get_settings = false;
    bool fail_set_settings = false;
    bool fail_writes = false;
    bool fail_reads = false;
    bool refuse_close = false;
    bool endless_input = false;  // every read finds the input full again
    int away_until_open = 0;     // devices up to this open refuse the line, as one still away
    long reads = 0;
    int opens = 0;
    int closes = 0;    // devices closed, by Close() or destruction
    int open_now = 0;  // devices currently open
    LineDescription last_line{};
};

class FakeDevice final : public SerialDevice {
public:
    explicit FakeDevice(FakeLine& line) : line_(line)
    {
        ++line_.opens;
        ++line_.open_now;
    }
    ~FakeDevice() override { FakeDevice::Close(); }

    CommResult Configure(const LineDescription& line) override
    {
        if (line_.fail_get_settings || line_.opens <= line_.away_until_open)
            return Fail(CommFailure::LineRefused, "cannot read the line settings");
        if (line_.fail_set_settings)
            return Fail(CommFailure::LineRefused, "the device did not take the line settings");
        line_.last_line = line;
        return CommResult::Done();
    }
    CommResult Write(const uint8_t* data, std::size_t count) override
    {
        if (line_.fail_writes)
            return Fail(CommFailure::WriteFailed, "write timed out");
        line_.written.insert(line_.written.end(), data, data + count);
        return CommResult::Done();
    }
    CommResult Read(uint8_t* destination, std::size_t count, std::size_t& delivered) override
    {
        ++line_.reads;
        delivered = 0;
        if (line_.fail_reads)
            return Fail(CommFailure::ReadFailed, "read failed");
        for (; delivered < count && !line_.input.empty(); ++delivered) {
            destination[delivered] = line_.input.front();
            line_.input.pop_front();
        }
        if (line_.endless_input)
            line_.input.resize(100, 0x55);
        return CommResult::Done();
    }
    long BytesWaiting() override { return static_cast<long>(line_.input.size()); }
    uint32_t TakeErrorFlags() override
    {
        const uint32_t flags = line_.error_flags;
        line_.error_flags = 0;
        return flags;
    }
    WaitResult WaitForInput(long seen, double) override
    {
        return BytesWaiting() > seen ? WaitResult::MoreInput : WaitResult::TimedOut;
    }
    CommResult Close() override
    {
        if (!open_)
            return CommResult::Done();
        if (line_.refuse_close)
            return Fail(CommFailure::CloseRefused, "close refused");
        open_ = false;
        ++line_.closes;
        --line_.open_now;
        return CommResult::Done();
    }

private:
    static CommResult Fail(CommFailure kind, const std::string& what)
    {
        return CommResult::Failed(kind, "fake: " + what);
    }
    FakeLine& line_;
    bool open_ = true;
};

// Opens FakeDevices on one line; `missing` ports fail like absent devices.
class FakeOpener final : public PortOpener {
public:
    explicit FakeOpener(FakeLine& line) : line_(line) {}
    std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) override
    {
        if (port == missing) {
            reason = DeviceName(port) + ": no such device";
            refusal_ = OpenRefusal::Missing;
            return nullptr;
        }
        if (busy > 0) {
            --busy;
            reason = DeviceName(port) + ": the port is in use by another program";
            refusal_ = OpenRefusal::Busy;
            return nullptr;
        }
        refusal_ = OpenRefusal::None;
        return std::make_unique<FakeDevice>(line_);
    }
    std::string DeviceName(int port) const override { return "fake:COM" + std::to_string(port); }
    OpenRefusal LastRefusal() const override { return refusal_; }

    int missing = -1;
    int busy = 0;  // the next this many opens find the port busy

private:
    FakeLine& line_;
    OpenRefusal refusal_ = OpenRefusal::None;
};

}  // namespace varnox::testing
