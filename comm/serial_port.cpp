#include "comm/serial_port.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace varnox {

namespace {

// A line that never falls silent must not hold a discard for ever.
constexpr double kDiscardTimeLimitSeconds = 1.0;
constexpr long kDiscardByteLimit = 64 * 1024;

}  // namespace

const char* LineErrorKind(uint32_t flags)
{
    if (flags & kRxFraming)
        return "framing";
    if (flags & kRxParity)
        return "parity";
    if (flags & (kRxOverrun | kRxQueueOverflow))
        return "overrun";
    if (flags & kBreak)
        return "break";
    return "";
}

CommResult SerialPort::Open(PortOpener& opener)
{
    // Even if the platform refuses to close it, the old device must not keep
    // the port: destroying it closes it again.
    if (device_)
        device_->Close();
    Release();

    std::string reason;
    std::unique_ptr<SerialDevice> device = opener.OpenPort(Number, reason);
    if (!device)
        return CommResult::Failed(CommFailure::OpenRefused, reason, kOpenFailedText);

    // A device that opened but cannot be configured is of no use and would
    // hold the port against the next attempt: going out of scope closes it.
    if (CommResult configured = device->Configure(Line); configured.failed())
        return CommResult::Failed(CommFailure::LineRefused, configured.system);
    device_ = std::move(device);
    return CommResult::Done();
}

CommResult SerialPort::Close()
{
    if (!device_)
        return CommResult::Done();
    if (CommResult closed = device_->Close(); closed.failed())
        return CommResult::Failed(CommFailure::CloseRefused, closed.system, kCloseFailedText);
    Release();
    return CommResult::Done();
}

CommResult SerialPort::TransferFailure(CommFailure kind, const CommResult& device_result)
{
    CommResult failed = CommResult::Failed(kind, device_result.system);
    failed.line_errors = TakeLineErrors();
    return failed;
}

CommResult SerialPort::Send(const uint8_t* bytes, std::size_t count)
{
    // A closed port has no error flags to report.
    if (!device_)
        return CommResult::Failed(CommFailure::NotOpen, "the port is closed");
    if (CommResult written = device_->Write(bytes, count); written.failed()) {
        needs_reopen_ = true;
        return TransferFailure(CommFailure::WriteFailed, written);
    }
    return CommResult::Done();
}

Received SerialPort::Receive(uint8_t* destination, std::size_t count)
{
    if (!device_ || count == 0)
        return {};
    std::size_t delivered = 0;
    if (CommResult read = device_->Read(destination, count, delivered); read.failed()) {
        needs_reopen_ = true;
        return {0, TransferFailure(CommFailure::ReadFailed, read)};
    }
    return {delivered, CommResult::Done()};
}

long SerialPort::BytesWaiting()
{
    if (!device_)
        return 0;
    const long waiting = device_->BytesWaiting();
    if (waiting < 0)
        needs_reopen_ = true;
    return waiting > 0 ? std::min<long>(waiting, INT32_MAX) : 0;
}

void SerialPort::DiscardInput(Clock& clock)
{
    if (device_)
        device_->DiscardBegins();
    const double deadline = clock.Now() + kDiscardTimeLimitSeconds;
    long dropped = 0;
    uint8_t scratch[4096];
    while (dropped < kDiscardByteLimit) {
        const long waiting = BytesWaiting();
        if (waiting <= 0)
            return;
        const Received got =
            Receive(scratch, std::min<std::size_t>(static_cast<std::size_t>(waiting), sizeof scratch));
        if (got.count == 0)
            return;  // a device that reports bytes it cannot deliver would loop for ever
        dropped += static_cast<long>(got.count);
        if (clock.Now() >= deadline)
            return;
    }
}

WaitResult SerialPort::WaitForInput(Clock& clock, long seen, double timeout_seconds)
{
    if (device_) {
        const WaitResult result = device_->WaitForInput(seen, timeout_seconds);
        if (result == WaitResult::Gone)
            needs_reopen_ = true;
        return result;
    }
    if (timeout_seconds > 0)
        clock.Pause(static_cast<int>(std::min(std::ceil(timeout_seconds * 1000.0), 2e9)));
    return WaitResult::TimedOut;
}

}  // namespace varnox
