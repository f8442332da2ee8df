#include "comm/comm.h"

#include <algorithm>
#include <cmath>

namespace varnox {

namespace {

// A line that never falls silent must not hold a flush for ever.
constexpr double kFlushTimeLimitSeconds = 1.0;
constexpr long kFlushByteLimit = 64 * 1024;

bool IsOpen(const TComm& comm) { return comm.Handle >= 0 && comm.Device != nullptr; }

}  // namespace

bool OpenComm(TComm& comm, PortOpener& opener)
{
    comm.ErrorText.clear();
    comm.OpenFailureReason.clear();
    CloseComm(comm);
    // Even if the platform refused to close it, the old device must not keep
    // the port: replacing it below destroys it, which closes it again.
    comm.Device.reset();
    comm.Handle = -1;

    std::string reason;
    std::unique_ptr<SerialDevice> device = opener.OpenPort(comm.Port, reason);
    if (!device) {
        comm.ErrorText = OpenErrorText(-1);
        comm.OpenFailureReason = reason;
        return false;
    }

    // A device that opened but cannot be configured is of no use and would
    // hold the port against the next attempt, so it is closed again.
    if (!device->GetSettings(comm.Dcb)) {
        comm.OpenFailureReason = device->LastError();
        return false;
    }
    ApplyLineSettings(comm);
    if (!device->SetSettings(comm.Dcb)) {
        comm.OpenFailureReason = device->LastError();
        return false;
    }
    // The queue sizes are the driver's business here; ours are far below them.
    comm.Handle = device->Handle();
    comm.Device = std::move(device);
    return true;
}

void CloseComm(TComm& comm)
{
    if (comm.Handle < 0)
        return;
    if (comm.Device && !comm.Device->Close()) {
        comm.ErrorText = kCloseFailedText;
        return;
    }
    comm.Device.reset();
    comm.Handle = -1;
}

void WriteComm(TComm& comm, const uint8_t* bytes, uint16_t count)
{
    if (!IsOpen(comm) || !comm.Device->Write(bytes, count))
        comm.ErrorText = CommErrorText(comm);
}

long ReadComm(TComm& comm, uint8_t* destination, uint16_t count)
{
    if (!IsOpen(comm) || count == 0)
        return 0;
    const long got = comm.Device->Read(destination, count);
    if (got < 0) {
        comm.ErrorText = CommErrorText(comm);
        return 0;
    }
    return got;
}

int32_t BytesWaiting(TComm& comm)
{
    if (!IsOpen(comm))
        return 0;
    const long waiting = comm.Device->BytesWaiting();
    return waiting > 0 ? static_cast<int32_t>(std::min<long>(waiting, INT32_MAX)) : 0;
}

void FlushInput(TComm& comm, Clock& clock)
{
    const double deadline = clock.Now() + kFlushTimeLimitSeconds;
    long dropped = 0;
    uint8_t scratch[4096];
    while (dropped < kFlushByteLimit) {
        const int32_t waiting = BytesWaiting(comm);
        if (waiting <= 0)
            return;
        const auto want = static_cast<uint16_t>(std::min<long>(waiting, sizeof scratch));
        const long got = ReadComm(comm, scratch, want);
        if (got <= 0)
            return;  // a device that reports bytes it cannot deliver would loop for ever
        dropped += got;
        if (clock.Now() >= deadline)
            return;
    }
}

WaitResult WaitForInput(TComm& comm, Clock& clock, long seen, double timeout_seconds)
{
    if (IsOpen(comm))
        return comm.Device->WaitForInput(seen, timeout_seconds);
    if (timeout_seconds > 0)
        clock.Pause(static_cast<int>(std::min(std::ceil(timeout_seconds * 1000.0), 2e9)));
    return WaitResult::TimedOut;
}

void InitPanelLineSettings(TComm& comm, int port)
{
    // Handle -1 must mean closed, so a device still held goes now.
    comm.Device.reset();
    comm.Handle = -1;
    comm.Port = port;
    comm.ParityIndex = kParityEven;
    comm.ByteSizeIndex = kByteSize8;
    comm.StopBitsIndex = kOneStopBit;
    comm.FlowIndex = 0;
    comm.InQueueSize = 2048;
    comm.OutQueueSize = 2048;
    comm.BaudIndex = kBaudIndex38400;
    comm.ErrorText.clear();
    comm.OpenFailureReason.clear();
}

}  // namespace varnox
