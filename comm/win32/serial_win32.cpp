#include "comm/win32/serial_win32.h"

#include "comm/port_list.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "comm/output_drain.h"
#include "comm/win32/line_settings_win32.h"
#include "comm/win32/win32_calls.h"

namespace varnox {

namespace {

constexpr const char* kDevicePrefix = "\\\\.\\";
constexpr DWORD kQueueSize = 60000;
// A read only asks for bytes already waiting, so it completes at once; this
// bounds it against a driver that thinks otherwise.
constexpr DWORD kReadCompletionMs = 1000;
// The driver's own limit on a wait for the first byte; our waits are
// shorter and cancel it, so it only matters to a driver that ignores that.
constexpr DWORD kFirstByteTimeoutMs = 10000;
// A cancelled transfer normally ends at once; a driver that has not ended it
// after this long (faulty, or its device removed) is not waited for again.
constexpr DWORD kCancelGraceMs = 500;
// Some drivers (CH340's) end the wait for a first byte at once with none;
// the wait then goes on in pauses of this length rather than spin.
constexpr double kEmptyReadPauseSeconds = 0.005;
constexpr DWORD kPurgeAll = PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR;

double MonotonicNow()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Milliseconds for a wait, rounded up so that it never ends early.
DWORD WaitMilliseconds(double seconds, DWORD at_most)
{
    if (!(seconds > 0))
        return 0;
    return static_cast<DWORD>(std::min(std::ceil(seconds * 1000.0), static_cast<double>(at_most)));
}

// "COM3" for "\\.\COM3": the name the user knows.
std::string DisplayName(const std::string& device)
{
    const std::string prefix = kDevicePrefix;
    return device.compare(0, prefix.size(), prefix) == 0 ? device.substr(prefix.size()) : device;
}

bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string SystemText(DWORD error)
{
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr)
        LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    if (result.empty())
        result = "system error";
    return result + " (error " + std::to_string(error) + ")";
}

// One overlapped transfer and its bytes, which belong to the driver until
// the transfer is over.
struct Transfer {
    OVERLAPPED overlapped{};
    std::vector<uint8_t> bytes;
};

// An event object for overlapped I/O, closed with its owner.
class OwnedEvent {
public:
    OwnedEvent() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~OwnedEvent()
    {
        if (handle_ != nullptr)
            CloseHandle(handle_);
    }
    OwnedEvent(const OwnedEvent&) = delete;
    OwnedEvent& operator=(const OwnedEvent&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }

private:
    HANDLE handle_;
};

// Waiting for input without a timer loop: an overlapped read of one byte
// that the driver completes as that byte arrives (COMMTIMEOUTS "return at
// once with what is there, else wait for the first byte"). A byte taken
// that way, and the bytes already waiting that had to be taken before it,
// are kept here and count as waiting until they are read.
class Win32SerialDevice final : public SerialDevice {
public:
    Win32SerialDevice(HANDLE handle, std::string device, Win32Calls& calls, double write_timeout_seconds)
        : handle_(handle), name_(DisplayName(device)), calls_(calls), write_timeout_seconds_(write_timeout_seconds)
    {
    }
    ~Win32SerialDevice() override { Win32SerialDevice::Close(); }
    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    // Everything after CreateFile that the device needs; on failure the
    // reason is returned and the destructor closes the device.
    std::string Prepare();

    CommResult Configure(const LineDescription& line) override;
    CommResult Write(const uint8_t* data, std::size_t count) override;
    CommResult Read(uint8_t* destination, std::size_t count, std::size_t& delivered) override;
    long BytesWaiting() override;
    uint32_t TakeErrorFlags() override;
    WaitResult WaitForInput(long seen, double timeout_seconds) override;
    CommResult Close() override;

    // What GetCommState says now; false when the device is closed or the driver fails.
    bool HeldSettings(DCB& dcb) const
    {
        dcb.DCBlength = sizeof(DCB);
        return IsOpen() && !gone_ && calls_.GetState(handle_, dcb);
    }

private:
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    CommResult Gone(CommFailure kind) const
    {
        return Fail(kind, "the device stopped answering (a cancelled transfer did not end)");
    }
    CommResult Fail(CommFailure kind, const std::string& what, DWORD error) const
    {
        return CommResult::Failed(kind, name_ + ": " + what + ": " + SystemText(error));
    }
    CommResult Fail(CommFailure kind, const std::string& what) const
    {
        return CommResult::Failed(kind, name_ + ": " + what);
    }
    // Bytes in the driver's input queue; -1 when the device failed.
    long DriverWaiting();
    // Waits a bounded time for the output queue to empty.
    void DrainOutput();
    // Reads up to `count` bytes from the driver, waiting at most `ms` for
    // the first; the number read, or -1 on failure.
    long ReadDriver(uint8_t* destination, DWORD count, DWORD ms);
    // A transfer signalled by `done`, its bytes sized `count`.
    static std::unique_ptr<Transfer> NewTransfer(const OwnedEvent& done, std::size_t count);
    // Waits for a transfer at most `ms`; cancels it when it is late. False
    // when it failed or was late; what it moved counts either way.
    bool Complete(std::unique_ptr<Transfer>& transfer, DWORD ms, DWORD& transferred);

    HANDLE handle_;
    std::string name_;
    Win32Calls& calls_;
    // A cancel the driver did not honour: the handle is not touched again.
    bool gone_ = false;
    double write_timeout_seconds_;
    OwnedEvent write_done_;
    OwnedEvent read_done_;
    std::vector<uint8_t> taken_;  // received, taken from the driver, not yet read
    uint32_t error_flags_ = 0;    // gathered by every ClearCommError until taken
};

std::string Win32SerialDevice::Prepare()
{
    if (!write_done_.valid() || !read_done_.valid())
        return name_ + ": " + SystemText(GetLastError());
    // Whatever an earlier program left in either queue is not ours.
    calls_.Purge(handle_, kPurgeAll);
    return {};
}

CommResult Win32SerialDevice::Configure(const LineDescription& line)
{
    DCB wanted{};
    wanted.DCBlength = sizeof(DCB);
    if (gone_)
        return Gone(CommFailure::LineRefused);
    if (!calls_.GetState(handle_, wanted))
        return Fail(CommFailure::LineRefused, "cannot read the line settings", calls_.LastError());
    ApplyLine(line, wanted);
    wanted.DCBlength = sizeof(DCB);
    if (!calls_.SetState(handle_, wanted)) {
        const DWORD error = calls_.LastError();
        // Under Wine a COM port can be a pseudo-terminal, which has no
        // parity: Wine then reports the parity as an invalid parameter. As
        // the Linux backend does for pseudo-terminals, the rest is taken;
        // a real port has parity and never gets here.
        DCB without_parity = wanted;
        without_parity.Parity = NOPARITY;
        if (!(error == ERROR_INVALID_PARAMETER && wanted.Parity != NOPARITY && RunningUnderWine() &&
              calls_.SetState(handle_, without_parity)))
            return Fail(CommFailure::LineRefused, "cannot apply the line settings", error);
    }
    // Far above our largest write and reply; the driver may keep its own sizes.
    calls_.SetupQueues(handle_, kQueueSize, kQueueSize);
    // A read returns at once with the bytes waiting, or waits for the first
    // byte when there are none; a write gives up on its own. Our own waits
    // on the overlapped I/O bound both in any case.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kFirstByteTimeoutMs;
    timeouts.WriteTotalTimeoutConstant = WaitMilliseconds(write_timeout_seconds_, MAXDWORD - 1);
    if (!calls_.SetTimeouts(handle_, timeouts))
        return Fail(CommFailure::LineRefused, "cannot set the port's time-outs", calls_.LastError());
    return CommResult::Done();
}

std::unique_ptr<Transfer> Win32SerialDevice::NewTransfer(const OwnedEvent& done, std::size_t count)
{
    auto transfer = std::make_unique<Transfer>();
    transfer->overlapped.hEvent = done.get();
    ResetEvent(done.get());
    transfer->bytes.resize(count);
    return transfer;
}

bool Win32SerialDevice::Complete(std::unique_ptr<Transfer>& transfer, DWORD ms, DWORD& transferred)
{
    transferred = 0;
    OVERLAPPED& overlapped = transfer->overlapped;
    if (calls_.WaitFor(overlapped.hEvent, ms) == WAIT_OBJECT_0)
        return calls_.Result(handle_, overlapped, transferred) != 0;
    calls_.Cancel(handle_, overlapped);
    if (calls_.WaitFor(overlapped.hEvent, kCancelGraceMs) != WAIT_OBJECT_0) {
        // The driver still owns the transfer and may yet write to it: its
        // memory is left to the driver, and the device counts as gone.
        [[maybe_unused]] Transfer* left_to_driver = transfer.release();
        gone_ = true;
        return false;
    }
    calls_.Result(handle_, overlapped, transferred);
    return false;
}

CommResult Win32SerialDevice::Write(const uint8_t* data, std::size_t count)
{
    if (!IsOpen())
        return Fail(CommFailure::NotOpen, "the device is closed");
    if (gone_)
        return Gone(CommFailure::WriteFailed);
    // Bounded as a whole: a device that takes a byte now and then must not
    // hold the update either.
    const double deadline = MonotonicNow() + write_timeout_seconds_;
    while (count > 0) {
        const double left = deadline - MonotonicNow();
        if (left <= 0)
            return Fail(CommFailure::WriteFailed, "the device stopped taking data (write timed out)");
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, kQueueSize));
        std::unique_ptr<Transfer> transfer = NewTransfer(write_done_, 0);
        transfer->bytes.assign(data, data + chunk);
        DWORD written = 0;
        if (!calls_.Write(handle_, transfer->bytes.data(), chunk, transfer->overlapped)) {
            const DWORD error = calls_.LastError();
            if (error != ERROR_IO_PENDING)
                return Fail(CommFailure::WriteFailed, "write failed", error);
        }
        const bool completed = Complete(transfer, WaitMilliseconds(left, MAXDWORD - 1), written);
        if (gone_)
            return Gone(CommFailure::WriteFailed);
        if (!completed || written == 0)
            return Fail(CommFailure::WriteFailed, "the device stopped taking data (write timed out)");
        data += written;
        count -= written;
    }
    return CommResult::Done();
}

long Win32SerialDevice::ReadDriver(uint8_t* destination, DWORD count, DWORD ms)
{
    std::unique_ptr<Transfer> transfer = NewTransfer(read_done_, count);
    DWORD got = 0;
    if (!calls_.Read(handle_, transfer->bytes.data(), count, transfer->overlapped)) {
        const DWORD error = calls_.LastError();
        if (error != ERROR_IO_PENDING)
            return -1;
    }
    // A wait that ran out is no failure; a byte that came with the cancel counts.
    Complete(transfer, ms, got);
    if (gone_)
        return -1;
    got = std::min(got, count);
    std::copy_n(transfer->bytes.begin(), got, destination);
    return static_cast<long>(got);
}

// Bytes already taken count as delivered; only when none came is a failing
// device reported.
CommResult Win32SerialDevice::Read(uint8_t* destination, std::size_t count, std::size_t& delivered)
{
    delivered = 0;
    if (!IsOpen())
        return Fail(CommFailure::NotOpen, "the device is closed");
    const std::size_t from_taken = std::min(count, taken_.size());
    std::copy_n(taken_.begin(), from_taken, destination);
    taken_.erase(taken_.begin(), taken_.begin() + static_cast<std::ptrdiff_t>(from_taken));
    delivered = from_taken;
    const long waiting = DriverWaiting();
    if (waiting < 0) {
        if (from_taken > 0)
            return CommResult::Done();
        return gone_ ? Gone(CommFailure::ReadFailed)
                     : Fail(CommFailure::ReadFailed, "cannot count the bytes waiting", calls_.LastError());
    }
    // Only what is waiting, so the driver answers at once.
    const DWORD want =
        static_cast<DWORD>(std::min<std::size_t>(count - from_taken, static_cast<std::size_t>(waiting)));
    if (want == 0)
        return CommResult::Done();
    const long got = ReadDriver(destination + from_taken, want, kReadCompletionMs);
    if (got < 0 && from_taken == 0)
        return gone_ ? Gone(CommFailure::ReadFailed)
                     : Fail(CommFailure::ReadFailed, "read failed", calls_.LastError());
    delivered += static_cast<std::size_t>(std::max(got, 0L));
    return CommResult::Done();
}

long Win32SerialDevice::DriverWaiting()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!IsOpen() || gone_ || !calls_.ClearError(handle_, errors, status))
        return -1;
    // The call clears the flags; keep them for the next TakeErrorFlags.
    error_flags_ |= errors;
    // Kept well below LONG_MAX, so that adding the bytes taken cannot overflow.
    return static_cast<long>(std::min<DWORD>(status.cbInQue, 0x7FFFFFFF - kQueueSize));
}

void Win32SerialDevice::DrainOutput()
{
    DrainOutputQueue(
        [this] {
            DWORD errors = 0;
            COMSTAT status{};
            if (!calls_.ClearError(handle_, errors, status))
                return -1L;
            error_flags_ |= errors;
            return static_cast<long>(std::min<DWORD>(status.cbOutQue, 0x7FFFFFFF));
        },
        [this](double seconds) { calls_.Pause(WaitMilliseconds(seconds, MAXDWORD - 1)); });
}

long Win32SerialDevice::BytesWaiting()
{
    const long waiting = DriverWaiting();
    return waiting < 0 ? -1 : waiting + static_cast<long>(taken_.size());
}

uint32_t Win32SerialDevice::TakeErrorFlags()
{
    if (IsOpen())
        DriverWaiting();
    // The CE_ values are the flags of the error table, bit for bit.
    const uint32_t flags = error_flags_;
    error_flags_ = 0;
    return flags;
}

WaitResult Win32SerialDevice::WaitForInput(long seen, double timeout_seconds)
{
    if (!(timeout_seconds > 0))
        timeout_seconds = 0;  // also NaN: look once, do not wait
    const double deadline = MonotonicNow() + timeout_seconds;
    for (;;) {
        const long in_driver = DriverWaiting();
        if (in_driver < 0)
            return WaitResult::Gone;  // an adapter that was pulled out
        const long waiting = in_driver + static_cast<long>(taken_.size());
        if (waiting > seen)
            return WaitResult::MoreInput;
        const double left = deadline - MonotonicNow();
        if (left <= 0)
            return WaitResult::TimedOut;

        // The driver waits for a first byte only when its queue is empty:
        // take what it holds, then ask it for one more.
        const std::size_t held = taken_.size();
        taken_.resize(held + static_cast<std::size_t>(in_driver) + 1);
        const long got =
            in_driver > 0 ? ReadDriver(taken_.data() + held, static_cast<DWORD>(in_driver), kReadCompletionMs) : 0;
        long next = 0;
        if (got == in_driver)
            next = ReadDriver(taken_.data() + held + got, 1, WaitMilliseconds(left, MAXDWORD - 1));
        // Whatever arrived stays, even when the device then failed.
        taken_.resize(held + static_cast<std::size_t>(std::max(got, 0L) + std::max(next, 0L)));
        if (got < 0 || next < 0)
            return taken_.size() > static_cast<std::size_t>(seen) ? WaitResult::MoreInput : WaitResult::Gone;
        // Nothing came, yet there is time left: the driver gave up early.
        if (got == in_driver && next == 0) {
            const double rest = deadline - MonotonicNow();
            if (rest > 0)
                calls_.Pause(WaitMilliseconds(std::min(rest, kEmptyReadPauseSeconds), MAXDWORD - 1));
        }
    }
}

CommResult Win32SerialDevice::Close()
{
    if (!IsOpen())
        return CommResult::Done();
    // Closing a handle whose transfer the driver would not end may wait for
    // that driver too: a device gone that way keeps its handle.
    if (!gone_) {
        DrainOutput();
        calls_.Purge(handle_, kPurgeAll);
        if (!calls_.Close(handle_))
            return Fail(CommFailure::CloseRefused, "cannot close the device", calls_.LastError());
    }
    handle_ = INVALID_HANDLE_VALUE;
    taken_.clear();
    return CommResult::Done();
}

}  // namespace

std::optional<DCB> DriverLineSettings(SerialDevice& device)
{
    auto* win32 = dynamic_cast<Win32SerialDevice*>(&device);
    DCB dcb{};
    if (win32 == nullptr || !win32->HeldSettings(dcb))
        return std::nullopt;
    return dcb;
}

std::string Win32DeviceName(int port)
{
    return kDevicePrefix + std::string("COM") + std::to_string(port);
}

std::string Win32OpenFailureText(const std::string& device, unsigned long error)
{
    const std::string name = DisplayName(device);
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return name + ": the port is in use by another program";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return name + ": no such port";
    default: return name + ": " + SystemText(error);
    }
}

std::unique_ptr<SerialDevice> OpenWin32SerialDevice(const std::string& device, std::string& reason,
                                                    double write_timeout_seconds)
{
    // No sharing: a second program (or a second open of ours) is refused.
    const HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = Win32OpenFailureText(device, GetLastError());
        return nullptr;
    }
    return AdoptWin32SerialDevice(handle, device, SystemWin32Calls(), reason, write_timeout_seconds);
}

std::unique_ptr<SerialDevice> AdoptWin32SerialDevice(HANDLE handle, const std::string& device, Win32Calls& calls,
                                                     std::string& reason, double write_timeout_seconds)
{
    auto opened = std::make_unique<Win32SerialDevice>(handle, device, calls, write_timeout_seconds);
    reason = opened->Prepare();
    if (!reason.empty())
        return nullptr;
    return opened;
}

std::string Win32PortOpener::DeviceName(int port) const
{
    const std::string mapped = overrides_.PathOf(port);
    return mapped.empty() ? Win32DeviceName(port) : mapped;
}

bool Win32PortOpener::FollowAdapter(int port, std::string& reason)
{
    const auto known = identities_.find(port);
    if (known == identities_.end() || known->second.empty())
        return true;
    const std::map<int, std::string> ids = PortInstanceIds();
    const int named = PortMap::ParsePortName(DisplayName(DeviceName(port)));
    for (const auto& [number, id] : ids) {
        if (id == known->second) {
            if (number != named)
                overrides_.Map(port, Win32DeviceName(number));
            return true;
        }
    }
    const auto there = ids.find(named);
    if (there == ids.end())
        return true;  // nothing the system names there: the open says what is
    reason =
        "another adapter on " + DisplayName(DeviceName(port)) + ": " + there->second + ", not " + known->second;
    return false;
}

std::unique_ptr<SerialDevice> Win32PortOpener::OpenPort(int port, std::string& reason)
{
    if (!FollowAdapter(port, reason)) {
        last_refusal_ = OpenRefusal::Missing;
        reason += "; " + PortsHere(ListPorts());
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    std::unique_ptr<SerialDevice> device = OpenWin32SerialDevice(DeviceName(port), reason);
    const DWORD error = GetLastError();
    if (device) {
        last_refusal_ = OpenRefusal::None;
        const auto ids = PortInstanceIds();
        const auto id = ids.find(PortMap::ParsePortName(DisplayName(DeviceName(port))));
        identities_[port] = id == ids.end() ? std::string() : id->second;
    } else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        last_refusal_ = OpenRefusal::Busy;
    else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        last_refusal_ = OpenRefusal::Missing;
        reason += "; " + PortsHere(ListPorts());
    } else
        last_refusal_ = OpenRefusal::Other;
    return device;
}

// The sharing mode refuses a port another program holds before its driver
// sees the open, so that port is not touched. A free port's driver does see
// it: serial.sys applies the settings and DTR/RTS state it keeps (raising
// both under the default flow control) and drops them at the close; that is
// the one disturbance left, on a port nobody uses.
bool Win32PortOpener::Available(int port)
{
    const std::string device = DeviceName(port);
    const int number = PortMap::ParsePortName(DisplayName(device));
    if (number > 0 && !ListedBySystem(number))
        return false;
    const HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

}  // namespace varnox
