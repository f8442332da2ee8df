#include "comm/linux/serial_linux.h"

#include "comm/port_list.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <system_error>
#include <thread>

#include "comm/linux/line_settings_linux.h"
#include "comm/linux/port_holder.h"
#include "comm/linux/tty_driver.h"
#include "comm/linux/uucp_lock.h"
#include "comm/output_drain.h"

namespace varnox {

namespace {

std::string ErrnoText(int error)
{
    return std::generic_category().message(error);
}

double MonotonicNow()
{
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Milliseconds for poll(), rounded up so that a wait never ends early.
int PollMilliseconds(double seconds)
{
    if (seconds <= 0)
        return 0;
    return static_cast<int>(std::min(std::ceil(seconds * 1000.0), 3600.0 * 1000.0));
}

void SleepBriefly(double max_seconds)
{
    const double seconds = std::min(max_seconds, 0.001);
    if (seconds <= 0)
        return;
    struct timespec pause {
        0, static_cast<long>(seconds * 1e9)
    };
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// Unix98 pseudo-terminal slaves have majors 136..143, the old BSD ones 3.
bool IsPseudoTerminal(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned major_number = major(st.st_rdev);
    return (major_number >= 136 && major_number <= 143) || major_number == 3;
}

OpenRefusal RefusalOf(int error)
{
    switch (error) {
    case EBUSY:
    case EWOULDBLOCK:
    case EACCES:
    case EPERM: return OpenRefusal::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO: return OpenRefusal::Missing;
    default: return OpenRefusal::Other;
    }
}

std::string OpenFailureText(const std::string& path, int error)
{
    switch (error) {
    case EBUSY:
    case EWOULDBLOCK: return path + ": the port is in use by another program";
    case EACCES:
    case EPERM: return path + ": permission denied (the user must be in the dialout group)";
    case ENOENT:
    case ENODEV:
    case ENXIO: return path + ": no such device";
    default: return path + ": " + ErrnoText(error);
    }
}

class LinuxSerialDevice final : public SerialDevice {
public:
    LinuxSerialDevice(int fd, std::string path, double write_timeout_seconds, UucpLock lock)
        : fd_(fd),
          path_(std::move(path)),
          write_timeout_seconds_(write_timeout_seconds),
          pseudo_terminal_(IsPseudoTerminal(fd)),
          lock_(std::move(lock))
    {
    }
    ~LinuxSerialDevice() override { LinuxSerialDevice::Close(); }
    LinuxSerialDevice(const LinuxSerialDevice&) = delete;
    LinuxSerialDevice& operator=(const LinuxSerialDevice&) = delete;

    // Everything after open() that makes the device ours and quiet; on
    // failure the reason is returned (and `error` set where errno tells why)
    // and the destructor closes the device.
    std::string Prepare(int& error);

    CommResult Configure(const LineDescription& line) override;
    CommResult Write(const uint8_t* data, std::size_t count) override;
    CommResult Read(uint8_t* destination, std::size_t count, std::size_t& delivered) override;
    long BytesWaiting() override;
    uint32_t TakeErrorFlags() override;
    WaitResult WaitForInput(long seen, double timeout_seconds) override;
    CommResult Close() override;
    std::string Warning() const override { return warning_; }

private:
    CommResult Fail(CommFailure kind, const std::string& what, int error) const
    {
        return CommResult::Failed(kind, path_ + ": " + what + ": " + ErrnoText(error));
    }
    CommResult Fail(CommFailure kind, const std::string& what) const
    {
        return CommResult::Failed(kind, path_ + ": " + what);
    }
    void SetModemLines(bool dtr, bool rts);
    void RequestLowLatency();
    void LimitClosingWait();
    // Bytes written but not yet sent; -1 when the device cannot say.
    long BytesToSend() const;
    CommResult ClearCustomSpeed();

    int fd_;
    std::string path_;
    double write_timeout_seconds_;
    bool pseudo_terminal_;
    bool exclusive_ = false;
    bool has_counters_ = false;
    struct serial_icounter_struct counters_ {};
    std::string warning_ = LineSettingsWarning(path_);
    UucpLock lock_;  // released once the device is closed
};

std::string LinuxSerialDevice::Prepare(int& error)
{
    error = 0;
    if (!::isatty(fd_))
        return path_ + ": not a serial device";
    // TIOCEXCL keeps other programs out, but not one running as root; the
    // lock keeps out everyone who asks for it, ourselves included. Any other
    // failure to lock (no lock support) leaves TIOCEXCL as the guard.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        error = EWOULDBLOCK;
        return OpenFailureText(path_, EWOULDBLOCK);
    }
    if (::ioctl(fd_, TIOCEXCL) != 0) {
        error = errno;
        return path_ + ": cannot open exclusively: " + ErrnoText(errno);
    }
    exclusive_ = true;
    SetModemLines(false, false);
    RequestLowLatency();
    LimitClosingWait();
    // Whatever an earlier program left in either queue is not ours.
    ::tcflush(fd_, TCIOFLUSH);
    // Devices without counters (pseudo-terminals) simply report no error flags.
    has_counters_ = ::ioctl(fd_, TIOCGICOUNT, &counters_) == 0;
    return {};
}

// Until the line is configured, DTR and RTS stay inactive. Pseudo-terminals
// have no modem lines and answer ENOTTY, which is fine.
void LinuxSerialDevice::SetModemLines(bool dtr, bool rts)
{
    int lowered = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
    int raised = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    if (lowered != 0)
        ::ioctl(fd_, TIOCMBIC, &lowered);
    if (raised != 0)
        ::ioctl(fd_, TIOCMBIS, &raised);
}

// USB adapters otherwise hold received bytes for up to 16 ms before passing
// them on; devices that refuse keep their default.
void LinuxSerialDevice::RequestLowLatency()
{
    struct serial_struct serial {};
    if (::ioctl(fd_, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd_, TIOCSSERIAL, &serial);
    }
}

// The tty layer waits up to the driver's closing wait (30 s) in close() for
// output a stuck adapter never sends. Close() drains for a bounded time
// itself; drivers that let an ordinary user change it then do not wait.
void LinuxSerialDevice::LimitClosingWait()
{
    struct serial_struct serial {};
    if (::ioctl(fd_, TIOCGSERIAL, &serial) == 0 && serial.closing_wait != ASYNC_CLOSING_WAIT_NONE) {
        serial.closing_wait = ASYNC_CLOSING_WAIT_NONE;
        ::ioctl(fd_, TIOCSSERIAL, &serial);
    }
}

long LinuxSerialDevice::BytesToSend() const
{
    int queued = 0;
    return ::ioctl(fd_, TIOCOUTQ, &queued) == 0 ? queued : -1;
}

// A custom divisor or ASYNC_SPD_* flag left by another program makes the
// 8250 and ftdi_sio drivers run B38400 at some other rate. Drivers without
// serial_struct (pseudo-terminals, many USB drivers) have none to clear.
CommResult LinuxSerialDevice::ClearCustomSpeed()
{
    struct serial_struct serial {};
    if (::ioctl(fd_, TIOCGSERIAL, &serial) != 0)
        return CommResult::Done();
    if ((serial.flags & ASYNC_SPD_MASK) == 0 && serial.custom_divisor == 0)
        return CommResult::Done();
    serial.flags &= ~ASYNC_SPD_MASK;
    serial.custom_divisor = 0;
    if (::ioctl(fd_, TIOCSSERIAL, &serial) != 0)
        return Fail(CommFailure::LineRefused, "cannot clear the custom speed left on the port", errno);
    struct serial_struct actual {};
    if (::ioctl(fd_, TIOCGSERIAL, &actual) == 0 &&
        ((actual.flags & ASYNC_SPD_MASK) != 0 || actual.custom_divisor != 0))
        return Fail(CommFailure::LineRefused, "the port keeps a custom speed");
    return CommResult::Done();
}

CommResult LinuxSerialDevice::Configure(const LineDescription& line)
{
    if (CommResult cleared = ClearCustomSpeed(); cleared.failed())
        return cleared;
    struct termios settings {};
    if (::tcgetattr(fd_, &settings) != 0)
        return Fail(CommFailure::LineRefused, "cannot read the line settings", errno);
    ApplyLine(line, settings);
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) {
        const int error = errno;
        // A pseudo-terminal drops parity, and glibc may call that EINVAL; the
        // read-back below decides whether what it did keep is what we wanted.
        if (!(pseudo_terminal_ && error == EINVAL))
            return Fail(CommFailure::LineRefused, "cannot apply the line settings", error);
    }
    // Leaving B0 raises DTR again in the serial core.
    SetModemLines(line.dtr, line.rts);
    struct termios actual {};
    if (::tcgetattr(fd_, &actual) != 0)
        return Fail(CommFailure::LineRefused, "cannot read the line settings back", errno);
    if (!LineSettingsMatch(settings, actual, pseudo_terminal_))
        return Fail(CommFailure::LineRefused, "the device did not take the line settings");
    return CommResult::Done();
}

CommResult LinuxSerialDevice::Write(const uint8_t* data, std::size_t count)
{
    if (fd_ < 0)
        return Fail(CommFailure::NotOpen, "the device is closed");
    // Bounded: a device that stopped draining must not hold the update.
    const double deadline = MonotonicNow() + write_timeout_seconds_;
    bool room_promised = false;
    while (count > 0) {
        const ssize_t written = ::write(fd_, data, count);
        if (written > 0) {
            data += written;
            count -= static_cast<std::size_t>(written);
            room_promised = false;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return Fail(CommFailure::WriteFailed, "write failed", errno);
        const double left = deadline - MonotonicNow();
        if (left <= 0)
            return Fail(CommFailure::WriteFailed, "the device stopped taking data (write timed out)");
        // poll() said there was room, yet nothing went: pause rather than spin.
        if (room_promised)
            SleepBriefly(left);
        struct pollfd wait {
            fd_, POLLOUT, 0
        };
        const int ready = ::poll(&wait, 1, PollMilliseconds(left));
        if (ready < 0 && errno != EINTR)
            return Fail(CommFailure::WriteFailed, "waiting to write failed", errno);
        if (ready > 0 && (wait.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return Fail(CommFailure::WriteFailed, "the line is gone");
        room_promised = ready > 0;
    }
    return CommResult::Done();
}

CommResult LinuxSerialDevice::Read(uint8_t* destination, std::size_t count, std::size_t& delivered)
{
    delivered = 0;
    if (fd_ < 0)
        return Fail(CommFailure::NotOpen, "the device is closed");
    if (count == 0)
        return CommResult::Done();
    for (;;) {
        const ssize_t got = ::read(fd_, destination, count);
        if (got > 0) {
            delivered = static_cast<std::size_t>(got);
            return CommResult::Done();
        }
        // A non-blocking terminal read answers EAGAIN when empty; 0 is a hang-up.
        if (got == 0)
            return Fail(CommFailure::ReadFailed, "the line is gone");
        if (errno == EAGAIN)
            return CommResult::Done();
        if (errno != EINTR)
            return Fail(CommFailure::ReadFailed, "read failed", errno);
    }
}

long LinuxSerialDevice::BytesWaiting()
{
    int waiting = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &waiting) != 0)
        return -1;
    return waiting;
}

uint32_t LinuxSerialDevice::TakeErrorFlags()
{
    struct serial_icounter_struct now {};
    if (!has_counters_ || fd_ < 0 || ::ioctl(fd_, TIOCGICOUNT, &now) != 0)
        return 0;
    uint32_t flags = 0;
    if (now.buf_overrun != counters_.buf_overrun)
        flags |= kRxQueueOverflow;
    if (now.overrun != counters_.overrun)
        flags |= kRxOverrun;
    if (now.parity != counters_.parity)
        flags |= kRxParity;
    if (now.frame != counters_.frame)
        flags |= kRxFraming;
    if (now.brk != counters_.brk)
        flags |= kBreak;
    counters_ = now;
    return flags;
}

WaitResult LinuxSerialDevice::WaitForInput(long seen, double timeout_seconds)
{
    if (!(timeout_seconds > 0))
        timeout_seconds = 0;  // also NaN: look once, do not wait
    const double deadline = MonotonicNow() + timeout_seconds;
    bool woke_with_nothing = false;
    for (;;) {
        const long waiting = BytesWaiting();
        if (waiting < 0)
            return WaitResult::Gone;  // EIO after a hang-up
        if (waiting > seen)
            return WaitResult::MoreInput;
        const double left = deadline - MonotonicNow();
        if (left <= 0)
            return WaitResult::TimedOut;

        // poll() answers at once while any byte is waiting, so with some bytes
        // already there (but not enough) it only serves to notice a hang-up,
        // and the wait goes on in short sleeps.
        const bool some_waiting = waiting > 0;
        struct pollfd wait {
            fd_, POLLIN, 0
        };
        const int ready = ::poll(&wait, 1, some_waiting || woke_with_nothing ? 0 : PollMilliseconds(left));
        if (ready < 0 && errno != EINTR)
            return WaitResult::Gone;
        if (ready > 0 && (wait.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return BytesWaiting() > seen ? WaitResult::MoreInput : WaitResult::Gone;
        if (some_waiting || woke_with_nothing) {
            SleepBriefly(deadline - MonotonicNow());
            woke_with_nothing = false;
        } else {
            // Woken for input that FIONREAD does not count yet: look once more
            // at once, then fall back to short sleeps rather than spin.
            woke_with_nothing = ready > 0;
        }
    }
}

CommResult LinuxSerialDevice::Close()
{
    if (fd_ < 0)
        return CommResult::Done();
    // Only a mode we set is ours to clear: after a refused open it belongs
    // to the program that holds the port.
    if (exclusive_) {
        // Not tcdrain(): it waits for as long as the driver likes.
        DrainOutputQueue(
            [this] { return BytesToSend(); },
            [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); });
        ::tcflush(fd_, TCIOFLUSH);
        ::ioctl(fd_, TIOCNXCL);
    }
    // Linux releases the descriptor even when close() reports an error, so
    // the port is free again either way, and the close counts as done.
    ::close(fd_);
    fd_ = -1;
    lock_.Release();
    return CommResult::Done();
}

}  // namespace

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& path, std::string& reason,
                                               double write_timeout_seconds, OpenRefusal* refusal,
                                               const HolderSources& holders)
{
    int error = 0;
    std::unique_ptr<LinuxSerialDevice> device;
    // The lock comes first: a port locked by another program is not even
    // opened, since an open may already move its modem lines.
    UucpLock lock;
    std::string lock_holder;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !lock.Take(path, holders, lock_holder)) {
        reason = OpenFailureText(path, EBUSY) + "; " + lock_holder;
        if (refusal != nullptr)
            *refusal = OpenRefusal::Busy;
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        reason = OpenFailureText(path, error);
    } else {
        device = std::make_unique<LinuxSerialDevice>(fd, path, write_timeout_seconds, std::move(lock));
        reason = device->Prepare(error);
        if (reason.empty()) {
            if (refusal != nullptr)
                *refusal = OpenRefusal::None;
            return device;
        }
        device.reset();  // let go of it before asking who holds it
    }
    const OpenRefusal kind = error != 0 ? RefusalOf(error) : OpenRefusal::Other;
    if (refusal != nullptr)
        *refusal = kind;
    if (kind == OpenRefusal::Busy) {
        if (const std::string holder = LikelyHolder(path, holders); !holder.empty())
            reason += "; " + holder;
    }
    if (kind != OpenRefusal::Missing) {
        if (const std::string warning = LineSettingsWarning(path); !warning.empty())
            reason += "; " + warning;
    }
    return nullptr;
}

void PosixPortOpener::Learn(const std::vector<PortInfo>& ports)
{
    for (const PortInfo& port : ports) {
        if (port.Number > 0 && pinned_.count(port.Number) == 0)
            map_.Map(port.Number, port.Device);
    }
}

bool PosixPortOpener::Available(int port)
{
    const std::string path = map_.PathOf(port);
    return !path.empty() && ForeignAdapter(port, path).empty() && LooksFree(path, holders_);
}

std::string PosixPortOpener::ForeignAdapter(int port, const std::string& path) const
{
    const auto known = identities_.find(port);
    if (known == identities_.end() || known->second.empty())
        return {};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};  // gone: nothing there to mistake for it
    const std::string there = AdapterIdentity(path, sources_);
    if (there == known->second)
        return {};
    return "another adapter on " + path + ": " +
           (there.empty() ? std::string("a device with no USB adapter") : there) + ", not " + known->second;
}

std::unique_ptr<SerialDevice> PosixPortOpener::OpenPort(int port, std::string& reason)
{
    const std::string path = map_.PathOf(port);
    if (path.empty()) {
        reason = "COM" + std::to_string(port) + ": no serial device is mapped to this port; " +
                 PortsHere(ListPorts(sources_));
        last_refusal_ = OpenRefusal::Missing;
        return nullptr;
    }
    // Once the adapter is known, a re-open takes only that adapter, whatever
    // its name: a stranger plugged in under the old name is not even opened.
    std::unique_ptr<SerialDevice> device;
    if (const std::string foreign = ForeignAdapter(port, path); !foreign.empty()) {
        reason = foreign;
        last_refusal_ = OpenRefusal::Missing;
    } else {
        device = OpenSerialDevice(path, reason, kWriteTimeoutSeconds, &last_refusal_, holders_);
    }
    if (!device && last_refusal_ == OpenRefusal::Missing) {
        // The adapter may be back under another name (ttyUSB0 as ttyUSB1).
        const auto known = identities_.find(port);
        const std::string moved =
            known == identities_.end() ? std::string() : FindAdapter(known->second, sources_);
        if (moved.empty() || moved == path) {
            reason += "; " + PortsHere(ListPorts(sources_));
            return nullptr;
        }
        map_.Map(port, moved);
        device = OpenSerialDevice(moved, reason, kWriteTimeoutSeconds, &last_refusal_, holders_);
    }
    if (device) {
        // Swapped between the look and the open: let it go again.
        if (const std::string foreign = ForeignAdapter(port, map_.PathOf(port)); !foreign.empty()) {
            device.reset();
            reason = foreign;
            last_refusal_ = OpenRefusal::Missing;
            return nullptr;
        }
        identities_[port] = AdapterIdentity(map_.PathOf(port), sources_);
        last_warning_ = device->Warning();
    } else if (last_refusal_ == OpenRefusal::Missing) {
        reason += "; " + PortsHere(ListPorts(sources_));
    }
    return device;
}

}  // namespace varnox
