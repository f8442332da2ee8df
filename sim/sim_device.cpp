#include "sim/sim_device.h"

#include <algorithm>

namespace varnox {
namespace {

// What a port that has never been configured runs at.
PlatformLineSettings PowerOnSettings()
{
    PlatformLineSettings settings{};
    settings.c_cflag = CS8 | CREAD | CLOCAL;
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    return settings;
}

}  // namespace

bool IsPanelLine(const PlatformLineSettings& settings)
{
    return cfgetospeed(&settings) == B38400 && cfgetispeed(&settings) == B38400 &&
           (settings.c_cflag & CSIZE) == CS8 && (settings.c_cflag & PARENB) != 0 &&
           (settings.c_cflag & PARODD) == 0 && (settings.c_cflag & CMSPAR) == 0 &&
           (settings.c_cflag & CSTOPB) == 0;
}

SimDevice::SimDevice(std::shared_ptr<SimLinkState> link, int handle) : link_(std::move(link)), handle_(handle) {}

SimDevice::~SimDevice()
{
    Close();
}

bool SimDevice::Usable()
{
    if (!open_) {
        last_error_ = "Bad file descriptor";
        return false;
    }
    if (link_->Panel->Pulled()) {
        last_error_ = "Input/output error";
        return false;
    }
    return true;
}

bool SimDevice::GetSettings(PlatformLineSettings& settings)
{
    if (!Usable())
        return false;
    settings = link_->Settings;
    return true;
}

bool SimDevice::SetSettings(const PlatformLineSettings& settings)
{
    if (!Usable())
        return false;
    link_->Settings = settings;
    link_->SettingsSet = true;
    return true;
}

bool SimDevice::Write(const uint8_t* data, std::size_t count)
{
    if (!Usable())
        return false;
    // At the wrong rate or framing the panel hears only noise.
    if (!IsPanelLine(link_->Settings)) {
        ++link_->GarbledWrites;
        return true;
    }
    link_->Panel->Receive({data, count}, link_->Clock->Now());
    // The adapter may have gone with this very request.
    if (link_->Panel->Pulled()) {
        last_error_ = "Input/output error";
        return false;
    }
    return true;
}

long SimDevice::Read(uint8_t* destination, std::size_t count)
{
    if (!Usable())
        return -1;
    const std::vector<uint8_t> bytes = link_->Panel->TakeArrived(link_->Clock->Now(), count);
    std::copy(bytes.begin(), bytes.end(), destination);
    return static_cast<long>(bytes.size());
}

long SimDevice::BytesWaiting()
{
    if (!Usable())
        return -1;
    return static_cast<long>(link_->Panel->ArrivedBy(link_->Clock->Now()));
}

WaitResult SimDevice::WaitForInput(long seen, double timeout_seconds)
{
    if (!Usable())
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

bool SimDevice::Close()
{
    if (open_) {
        open_ = false;
        link_->Held = false;
    }
    return true;
}

SimPortOpener::SimPortOpener(SimPanel& panel, SimClock& clock, int port) : link_(std::make_shared<SimLinkState>())
{
    link_->Panel = &panel;
    link_->Clock = &clock;
    link_->Port = port;
    link_->Settings = PowerOnSettings();
}

std::unique_ptr<SerialDevice> SimPortOpener::OpenPort(int port, std::string& reason)
{
    SimLinkState& link = *link_;
    const std::string name = "COM" + std::to_string(port);
    auto fail = [&](const std::string& why) {
        ++link.FailedOpens;
        reason = name + ": " + why;
        return nullptr;
    };
    if (port != link.Port)
        return fail("No such file or directory");
    if (link.Panel->Pulled())
        return fail("No such device");
    if (link.FailNextOpens > 0) {
        --link.FailNextOpens;
        return fail(link.FailReason);
    }
    if (link.Held)
        return fail("Device or resource busy");

    link.Held = true;
    ++link.Opens;
    // What arrived while nobody had the port open is lost.
    link.Panel->DropArrived(link.Clock->Now());
    return std::make_unique<SimDevice>(link_, link.NextHandle++);
}

std::string SimPortOpener::DeviceName(int port) const
{
    return port == link_->Port ? "simulated panel" : "";
}

void SimPortOpener::FailNextOpens(int count, const std::string& reason)
{
    link_->FailNextOpens = count;
    link_->FailReason = reason;
}

std::optional<PlatformLineSettings> SimPortOpener::LastSettings() const
{
    if (!link_->SettingsSet)
        return std::nullopt;
    return link_->Settings;
}

}  // namespace varnox
