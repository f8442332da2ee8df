#include "sim/sim_device.h"

#include <algorithm>

namespace varnox {

bool IsPanelLine(const LineDescription& line)
{
    return line.bits_per_second == 38400 && line.data_bits == 8 && line.parity == Parity::Even &&
           line.stop_bits == StopBits::One;
}

SimDevice::SimDevice(std::shared_ptr<SimLinkState> link)
    : link_(std::move(link)), dropouts_at_open_(link_->Panel->Dropouts())
{
}

SimDevice::~SimDevice()
{
    SimDevice::Close();
}

CommResult SimDevice::Usable(CommFailure kind) const
{
    if (!open_)
        return CommResult::Failed(CommFailure::NotOpen, "Bad file descriptor");
    if (link_->Panel->Pulled() || link_->Panel->Dropouts() != dropouts_at_open_)
        return CommResult::Failed(kind, "Input/output error");
    return CommResult::Done();
}

CommResult SimDevice::Configure(const LineDescription& line)
{
    if (CommResult usable = Usable(CommFailure::LineRefused); usable.failed())
        return usable;
    link_->Line = line;
    link_->LineSet = true;
    return CommResult::Done();
}

CommResult SimDevice::Write(const uint8_t* data, std::size_t count)
{
    if (CommResult usable = Usable(CommFailure::WriteFailed); usable.failed())
        return usable;
    // At the wrong rate or framing the panel hears only noise.
    if (!IsPanelLine(link_->Line)) {
        ++link_->GarbledWrites;
        return CommResult::Done();
    }
    link_->Panel->Receive({data, count}, link_->Clock->Now());
    // The adapter may have gone with this very request.
    return Usable(CommFailure::WriteFailed);
}

CommResult SimDevice::Read(uint8_t* destination, std::size_t count, std::size_t& delivered)
{
    delivered = 0;
    if (CommResult usable = Usable(CommFailure::ReadFailed); usable.failed())
        return usable;
    const std::vector<uint8_t> bytes = link_->Panel->TakeArrived(link_->Clock->Now(), count);
    std::copy(bytes.begin(), bytes.end(), destination);
    delivered = bytes.size();
    return CommResult::Done();
}

long SimDevice::BytesWaiting()
{
    if (Usable(CommFailure::ReadFailed).failed())
        return -1;
    return static_cast<long>(link_->Panel->ArrivedBy(link_->Clock->Now()));
}

WaitResult SimDevice::WaitForInput(long seen, double timeout_seconds)
{
    if (Usable(CommFailure::ReadFailed).failed())
        return WaitResult::Gone;
    SimClock& clock = *link_->Clock;
    const double deadline = clock.Now() + std::max(timeout_seconds, 0.0);
    const std::deque<TimedByte>& pending = link_->Panel->Pending();
    const std::size_t index = static_cast<std::size_t>(std::max(seen, 0L));
    // Every reply the panel will give to what it has received is already
    // scheduled, so the next arrival is known.
    if (index < pending.size() && pending[index].At <= deadline) {
        clock.AdvanceTo(pending[index].At);
        return WaitResult::MoreInput;
    }
    clock.AdvanceTo(deadline);
    return WaitResult::TimedOut;
}

CommResult SimDevice::Close()
{
    if (open_) {
        open_ = false;
        link_->Held = false;
    }
    return CommResult::Done();
}

SimPortOpener::SimPortOpener(SimPanel& panel, SimClock& clock, int port) : link_(std::make_shared<SimLinkState>())
{
    link_->Panel = &panel;
    link_->Clock = &clock;
    link_->Port = port;
}

std::unique_ptr<SerialDevice> SimPortOpener::OpenPort(int port, std::string& reason)
{
    SimLinkState& link = *link_;
    const std::string name = "COM" + std::to_string(port);
    auto fail = [&](const std::string& why, OpenRefusal refusal) {
        ++link.FailedOpens;
        link.LastRefusal = refusal;
        reason = name + ": " + why;
        return nullptr;
    };
    if (port != link.Port)
        return fail("No such file or directory", OpenRefusal::Missing);
    if (link.Panel->Pulled() || link.Clock->Now() < link.Panel->AdapterBackAt())
        return fail("No such device", OpenRefusal::Missing);
    if (link.FailNextOpens > 0) {
        --link.FailNextOpens;
        return fail(link.FailReason, link.FailRefusal);
    }
    if (link.Held)
        return fail("Device or resource busy", OpenRefusal::Busy);

    link.Held = true;
    link.LastRefusal = OpenRefusal::None;
    ++link.Opens;
    // What arrived while nobody had the port open is lost.
    link.Panel->DropArrived(link.Clock->Now());
    return std::make_unique<SimDevice>(link_);
}

std::string SimPortOpener::DeviceName(int port) const
{
    return port == link_->Port ? "simulated panel" : "";
}

void SimPortOpener::FailNextOpens(int count, const std::string& reason, OpenRefusal refusal)
{
    link_->FailNextOpens = count;
    link_->FailReason = reason;
    link_->FailRefusal = refusal;
}

std::optional<LineDescription> SimPortOpener::LastLine() const
{
    if (!link_->LineSet)
        return std::nullopt;
    return link_->Line;
}

}  // namespace varnox
