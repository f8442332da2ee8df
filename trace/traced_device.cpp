#include "trace/traced_device.h"

#include <cstdio>

#include "comm/serial_port.h"

namespace varnox {
namespace {

std::string WithSystem(const std::string& what, const CommResult& result)
{
    return result.system.empty() ? what : what + ": " + result.system;
}

}  // namespace

TracedDevice::TracedDevice(std::unique_ptr<SerialDevice> inner, PortTrace& trace)
    : inner_(std::move(inner)), trace_(trace)
{
}

TracedDevice::~TracedDevice()
{
    // Destroying the device closes it (also after a refused close).
    if (!closed_)
        trace_.Event("close");
}

CommResult TracedDevice::Configure(const LineDescription& line)
{
    const CommResult result = inner_->Configure(line);
    if (result.failed())
        trace_.Event(WithSystem("line refused", result));
    return result;
}

CommResult TracedDevice::Write(const uint8_t* data, std::size_t count)
{
    discarding_ = false;
    // Stamped when the tool hands the bytes over, as the panel's side stamps their arrival.
    trace_.Wrote({data, count});
    const CommResult result = inner_->Write(data, count);
    if (result.failed())
        Gone(WithSystem("write failed", result));
    return result;
}

CommResult TracedDevice::Read(uint8_t* destination, std::size_t count, std::size_t& delivered)
{
    const CommResult result = inner_->Read(destination, count, delivered);
    if (delivered > 0) {
        if (discarding_ && !discard_noted_) {
            trace_.Event("flush: input discarded");
            discard_noted_ = true;
        }
        trace_.Read({destination, delivered});
    }
    if (result.failed())
        Gone(WithSystem("read failed", result));
    return result;
}

long TracedDevice::BytesWaiting()
{
    const long waiting = inner_->BytesWaiting();
    if (waiting < 0)
        Gone("the device failed");
    if (waiting <= 0)
        discarding_ = false;  // the discard ends on an empty queue
    return waiting;
}

uint32_t TracedDevice::TakeErrorFlags()
{
    const uint32_t flags = inner_->TakeErrorFlags();
    if (flags != 0) {
        char text[64];
        const char* kind = LineErrorKind(flags);
        std::snprintf(text, sizeof text, "line error: %s (flags 0x%04X)", *kind ? kind : "other", unsigned(flags));
        trace_.Event(text);
    }
    return flags;
}

WaitResult TracedDevice::WaitForInput(long seen, double timeout_seconds)
{
    discarding_ = false;
    const WaitResult result = inner_->WaitForInput(seen, timeout_seconds);
    if (result == WaitResult::Gone)
        Gone("wait ended");
    return result;
}

CommResult TracedDevice::Close()
{
    const CommResult result = inner_->Close();
    if (result.failed()) {
        trace_.Event(WithSystem("close refused", result));
    } else if (!closed_) {
        trace_.Event("close");
        closed_ = true;
    }
    return result;
}

void TracedDevice::DiscardBegins()
{
    discarding_ = true;
    discard_noted_ = false;
    inner_->DiscardBegins();
}

void TracedDevice::Gone(const std::string& how)
{
    if (gone_)
        return;
    gone_ = true;
    trace_.Event("gone: " + how);
}

std::unique_ptr<SerialDevice> TracedPortOpener::OpenPort(int port, std::string& reason)
{
    std::unique_ptr<SerialDevice> device = inner_.OpenPort(port, reason);
    const std::string device_name = inner_.DeviceName(port);
    const std::string name = "COM" + std::to_string(port) + (device_name.empty() ? "" : " " + device_name);
    if (!device) {
        trace_.Event("open " + name + " refused: " + reason);
        return nullptr;
    }
    bool again = false;
    {
        const std::lock_guard lock(mutex_);
        again = !opened_.insert(port).second;
    }
    trace_.Event((again ? "re-open " : "open ") + name);
    return std::make_unique<TracedDevice>(std::move(device), trace_);
}

bool PortTracing::Switch(const std::string& path, std::string& error)
{
    tracing_ = false;
    trace_.Close();
    return Start(path, error);
}

bool PortTracing::Start(const std::string& path, std::string& error)
{
    if (path.empty())
        return true;
    tracing_ = trace_.Open(path, error);
    return tracing_;
}

}  // namespace varnox
