#include "tests/support/scripted_device.h"

#include <algorithm>
#include <cstring>

namespace varnox::testing {
namespace {

// Pauses are summed in floating point (0.15 + 0.02 is not exactly 0.17), so a
// byte counts as arrived when its time is within a nanosecond of now.
constexpr double kSlack = 1e-9;

}  // namespace

Reply At(double after, std::vector<uint8_t> bytes)
{
    return {Arrival{after, std::move(bytes)}};
}

Reply ByteByByte(double first, double interval, const std::vector<uint8_t>& bytes)
{
    Reply reply;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        reply.push_back(Arrival{first + interval * static_cast<double>(i), {bytes[i]}});
    return reply;
}

// ---------------------------------------------------------------- script

void ScriptedLine::ReplyToNextWrite(Reply reply)
{
    std::lock_guard lock(mutex_);
    replies_.push_back(std::move(reply));
}

void ScriptedLine::SetResponder(std::function<Reply(const std::vector<uint8_t>&)> responder)
{
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

void ScriptedLine::Inject(double at, const std::vector<uint8_t>& bytes)
{
    std::lock_guard lock(mutex_);
    Schedule(at, bytes);
}

void ScriptedLine::Schedule(double at, const std::vector<uint8_t>& bytes)
{
    for (uint8_t byte : bytes) {
        // After every byte due at the same time or earlier, so order is kept.
        auto where = std::upper_bound(pending_.begin(), pending_.end(), at,
                                      [](double t, const Pending& p) { return t < p.at; });
        pending_.insert(where, Pending{at, byte});
    }
}

void ScriptedLine::DropArrived()
{
    pending_.erase(pending_.begin(), pending_.begin() + CountArrived());
}

long ScriptedLine::CountArrived() const
{
    const double now = clock_.Now();
    auto end = std::upper_bound(pending_.begin(), pending_.end(), now + kSlack,
                                [](double t, const Pending& p) { return t < p.at; });
    return static_cast<long>(end - pending_.begin());
}

// ---------------------------------------------------------------- faults

void ScriptedLine::FailNextOpens(int count, const std::string& reason)
{
    std::lock_guard lock(mutex_);
    failing_opens_ = count;
    open_failure_reason_ = reason;
}

void ScriptedLine::SetPortMissing(int port, bool missing)
{
    std::lock_guard lock(mutex_);
    if (missing)
        missing_ports_.insert(port);
    else
        missing_ports_.erase(port);
}

void ScriptedLine::FailWrites(bool fail)
{
    std::lock_guard lock(mutex_);
    fail_writes_ = fail;
}

void ScriptedLine::FailReads(bool fail)
{
    std::lock_guard lock(mutex_);
    fail_reads_ = fail;
}

void ScriptedLine::LimitReads(long limit)
{
    std::lock_guard lock(mutex_);
    read_limit_ = limit;
}

void ScriptedLine::FailSettings(bool fail)
{
    std::lock_guard lock(mutex_);
    fail_settings_ = fail;
}

void ScriptedLine::RefuseClose(bool refuse)
{
    std::lock_guard lock(mutex_);
    refuse_close_ = refuse;
}

void ScriptedLine::RaiseErrorFlags(uint32_t flags)
{
    std::lock_guard lock(mutex_);
    error_flags_ |= flags;
}

// ---------------------------------------------------------------- records

std::vector<ReceivedWrite> ScriptedLine::Writes() const
{
    std::lock_guard lock(mutex_);
    return writes_;
}

std::vector<LineEvent> ScriptedLine::Events() const
{
    std::lock_guard lock(mutex_);
    return events_;
}

int ScriptedLine::Opens() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(events_.begin(), events_.end(),
                                          [](const LineEvent& e) { return e.kind == LineEvent::Open; }));
}

int ScriptedLine::Closes() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(events_.begin(), events_.end(),
                                          [](const LineEvent& e) { return e.kind == LineEvent::Close; }));
}

bool ScriptedLine::IsOpen(int port) const
{
    std::lock_guard lock(mutex_);
    return open_ports_.count(port) != 0;
}

long ScriptedLine::Waiting() const
{
    std::lock_guard lock(mutex_);
    return open_ports_.empty() ? 0 : CountArrived();
}

std::size_t ScriptedLine::UnusedReplies() const
{
    std::lock_guard lock(mutex_);
    return replies_.size();
}

LineDescription ScriptedLine::LastLine() const
{
    std::lock_guard lock(mutex_);
    return line_;
}

std::vector<long> ScriptedLine::LooksAfterWrite() const
{
    std::lock_guard lock(mutex_);
    return looks_after_write_;
}

// ---------------------------------------------------------------- opening

std::unique_ptr<SerialDevice> ScriptedLine::Open(int port, std::string& reason)
{
    std::lock_guard lock(mutex_);
    const double now = clock_.Now();
    if (failing_opens_ > 0) {
        --failing_opens_;
        reason = open_failure_reason_;
    } else if (missing_ports_.count(port) != 0) {
        reason = "No such file or directory";
    } else if (open_ports_.count(port) != 0) {
        reason = "Device or resource busy";
    } else {
        // What arrived while the port was closed is lost.
        if (open_ports_.empty())
            DropArrived();
        open_ports_.insert(port);
        events_.push_back({LineEvent::Open, now, port});
        return std::make_unique<ScriptedDevice>(*this, port);
    }
    events_.push_back({LineEvent::OpenFailed, now, port});
    return nullptr;
}

// ---------------------------------------------------------------- device side

bool ScriptedLine::DeviceConfigure(const LineDescription& line)
{
    std::lock_guard lock(mutex_);
    if (fail_settings_)
        return false;
    line_ = line;
    return true;
}

bool ScriptedLine::DeviceWrite(int port, const uint8_t* data, std::size_t count)
{
    std::lock_guard lock(mutex_);
    looks_after_write_.push_back(0);
    if (fail_writes_)
        return false;
    const double now = clock_.Now();
    std::vector<uint8_t> bytes(data, data + count);
    writes_.push_back({now, port, bytes});
    events_.push_back({LineEvent::Write, now, port});

    Reply reply;
    if (!replies_.empty()) {
        reply = std::move(replies_.front());
        replies_.pop_front();
    } else if (responder_) {
        reply = responder_(bytes);
    }
    for (const Arrival& arrival : reply)
        Schedule(now + arrival.after, arrival.bytes);
    return true;
}

long ScriptedLine::DeviceRead(uint8_t* destination, std::size_t count)
{
    std::lock_guard lock(mutex_);
    if (fail_reads_)
        return -1;
    long n = std::min(CountArrived(), static_cast<long>(count));
    if (read_limit_ >= 0)
        n = std::min(n, read_limit_);
    for (long i = 0; i < n; ++i)
        destination[i] = pending_[static_cast<std::size_t>(i)].byte;
    pending_.erase(pending_.begin(), pending_.begin() + n);
    return n;
}

long ScriptedLine::DeviceBytesWaiting()
{
    std::lock_guard lock(mutex_);
    ++looks_after_write_.back();
    return CountArrived();
}

uint32_t ScriptedLine::DeviceTakeErrorFlags()
{
    std::lock_guard lock(mutex_);
    const uint32_t flags = error_flags_;
    error_flags_ = 0;
    return flags;
}

WaitResult ScriptedLine::DeviceWaitForInput(long seen, double timeout_seconds)
{
    std::lock_guard lock(mutex_);
    ++looks_after_write_.back();
    if (CountArrived() > seen)
        return WaitResult::MoreInput;
    const double deadline = clock_.Now() + std::max(timeout_seconds, 0.0);
    // Byte number seen + 1 is the one whose arrival makes the count exceed `seen`.
    const auto next = static_cast<std::size_t>(std::max(seen, 0L));
    if (next < pending_.size() && pending_[next].at <= deadline + kSlack) {
        clock_.AdvanceTo(pending_[next].at);
        return WaitResult::MoreInput;
    }
    clock_.AdvanceTo(deadline);
    return WaitResult::TimedOut;
}

bool ScriptedLine::DeviceClose(int port, bool forced)
{
    std::lock_guard lock(mutex_);
    if (refuse_close_ && !forced)
        return false;
    open_ports_.erase(port);
    if (open_ports_.empty())
        DropArrived();
    events_.push_back({LineEvent::Close, clock_.Now(), port});
    return true;
}

// ---------------------------------------------------------------- device

ScriptedDevice::~ScriptedDevice()
{
    if (open_)
        line_.DeviceClose(port_, /*forced=*/true);
}

CommResult ScriptedDevice::Configure(const LineDescription& line)
{
    if (!open_ || !line_.DeviceConfigure(line))
        return CommResult::Failed(CommFailure::LineRefused, "Input/output error");
    return CommResult::Done();
}

CommResult ScriptedDevice::Write(const uint8_t* data, std::size_t count)
{
    if (!open_ || !line_.DeviceWrite(port_, data, count))
        return CommResult::Failed(CommFailure::WriteFailed, "Input/output error");
    return CommResult::Done();
}

CommResult ScriptedDevice::Read(uint8_t* destination, std::size_t count, std::size_t& delivered)
{
    delivered = 0;
    if (!open_)
        return CommResult::Failed(CommFailure::NotOpen, "Bad file descriptor");
    const long got = line_.DeviceRead(destination, count);
    if (got < 0)
        return CommResult::Failed(CommFailure::ReadFailed, "Input/output error");
    delivered = static_cast<std::size_t>(got);
    return CommResult::Done();
}

long ScriptedDevice::BytesWaiting()
{
    return open_ ? line_.DeviceBytesWaiting() : -1;
}

uint32_t ScriptedDevice::TakeErrorFlags()
{
    return open_ ? line_.DeviceTakeErrorFlags() : 0;
}

WaitResult ScriptedDevice::WaitForInput(long seen, double timeout_seconds)
{
    return open_ ? line_.DeviceWaitForInput(seen, timeout_seconds) : WaitResult::Gone;
}

CommResult ScriptedDevice::Close()
{
    if (!open_)
        return CommResult::Done();
    if (!line_.DeviceClose(port_, /*forced=*/false))
        return CommResult::Failed(CommFailure::CloseRefused, "Input/output error");
    open_ = false;
    return CommResult::Done();
}

}  // namespace varnox::testing
