#include "comm/serial_linux.h"

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
#include <cmath>
#include <system_error>

#include "comm/line_settings_linux.h"

namespace varnox {

namespace {

std::string ErrnoText(int error) { return std::generic_category().message(error); }

double MonotonicNow()
{
    struct timespec now{};
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
    struct timespec pause{0, static_cast<long>(seconds * 1e9)};
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// Unix98 pseudo-terminal slaves have majors 136..143, the old BSD ones 3.
bool IsPseudoTerminal(int fd)
{
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned major_number = major(st.st_rdev);
    return (major_number >= 136 && major_number <= 143) || major_number == 3;
}

std::string OpenFailureText(const std::string& path, int error)
{
    switch (error) {
    case EBUSY:
    case EWOULDBLOCK:
        return path + ": the port is in use by another program";
    case EACCES:
    case EPERM:
        return path + ": permission denied (the user must be in the dialout group)";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return path + ": no such device";
    default:
        return path + ": " + ErrnoText(error);
    }
}

class LinuxSerialDevice final : public SerialDevice {
public:
    LinuxSerialDevice(int fd, std::string path, double write_timeout_seconds)
        : fd_(fd), path_(std::move(path)), write_timeout_seconds_(write_timeout_seconds),
          pseudo_terminal_(IsPseudoTerminal(fd))
    {
    }
    ~LinuxSerialDevice() override { Close(); }
    LinuxSerialDevice(const LinuxSerialDevice&) = delete;
    LinuxSerialDevice& operator=(const LinuxSerialDevice&) = delete;

    // Everything after open() that makes the device ours and quiet; on
    // failure the reason is returned and the destructor closes the device.
    std::string Prepare();

    int Handle() const override { return fd_; }
    bool GetSettings(PlatformLineSettings& settings) override;
    bool SetSettings(const PlatformLineSettings& settings) override;
    bool Write(const uint8_t* data, std::size_t count) override;
    long Read(uint8_t* destination, std::size_t count) override;
    long BytesWaiting() override;
    uint32_t TakeErrorFlags() override;
    WaitResult WaitForInput(long seen, double timeout_seconds) override;
    bool Close() override;
    std::string LastError() const override { return last_error_; }

private:
    void Fail(const std::string& what, int error) { last_error_ = path_ + ": " + what + ": " + ErrnoText(error); }
    void DropModemLines();
    void RequestLowLatency();

    int fd_;
    std::string path_;
    double write_timeout_seconds_;
    bool pseudo_terminal_;
    bool exclusive_ = false;
    bool has_counters_ = false;
    struct serial_icounter_struct counters_{};
    std::string last_error_;
};

std::string LinuxSerialDevice::Prepare()
{
    if (!::isatty(fd_))
        return path_ + ": not a serial device";
    // TIOCEXCL keeps other programs out, but not one running as root; the
    // lock keeps out everyone who asks for it, ourselves included. Any other
    // failure to lock (no lock support) leaves TIOCEXCL as the guard.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return OpenFailureText(path_, EWOULDBLOCK);
    if (::ioctl(fd_, TIOCEXCL) != 0)
        return path_ + ": cannot open exclusively: " + ErrnoText(errno);
    exclusive_ = true;
    DropModemLines();
    RequestLowLatency();
    // Devices without counters (pseudo-terminals) simply report no error flags.
    has_counters_ = ::ioctl(fd_, TIOCGICOUNT, &counters_) == 0;
    return {};
}

// The panel's line has DTR and RTS inactive. Pseudo-terminals have no modem
// lines and answer ENOTTY, which is fine.
void LinuxSerialDevice::DropModemLines()
{
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIC, &lines);
}

// USB adapters otherwise hold received bytes for up to 16 ms before passing
// them on; devices that refuse keep their default.
void LinuxSerialDevice::RequestLowLatency()
{
    struct serial_struct serial{};
    if (::ioctl(fd_, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd_, TIOCSSERIAL, &serial);
    }
}

bool LinuxSerialDevice::GetSettings(PlatformLineSettings& settings)
{
    if (::tcgetattr(fd_, &settings) != 0) {
        Fail("cannot read the line settings", errno);
        return false;
    }
    return true;
}

bool LinuxSerialDevice::SetSettings(const PlatformLineSettings& settings)
{
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) {
        const int error = errno;
        // A pseudo-terminal drops parity, and glibc may call that EINVAL; the
        // read-back below decides whether what it did keep is what we wanted.
        if (!(pseudo_terminal_ && error == EINVAL)) {
            Fail("cannot apply the line settings", error);
            return false;
        }
    }
    // Leaving B0 raises DTR again in the serial core.
    DropModemLines();
    struct termios actual{};
    if (::tcgetattr(fd_, &actual) != 0) {
        Fail("cannot read the line settings back", errno);
        return false;
    }
    if (!LineSettingsMatch(settings, actual, pseudo_terminal_)) {
        last_error_ = path_ + ": the device did not take the line settings";
        return false;
    }
    return true;
}

bool LinuxSerialDevice::Write(const uint8_t* data, std::size_t count)
{
    if (fd_ < 0) {
        last_error_ = path_ + ": the device is closed";
        return false;
    }
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
        if (written < 0 && errno != EAGAIN) {
            Fail("write failed", errno);
            return false;
        }
        const double left = deadline - MonotonicNow();
        if (left <= 0) {
            last_error_ = path_ + ": the device stopped taking data (write timed out)";
            return false;
        }
        // poll() said there was room, yet nothing went: pause rather than spin.
        if (room_promised)
            SleepBriefly(left);
        struct pollfd wait{fd_, POLLOUT, 0};
        const int ready = ::poll(&wait, 1, PollMilliseconds(left));
        if (ready < 0 && errno != EINTR) {
            Fail("waiting to write failed", errno);
            return false;
        }
        if (ready > 0 && (wait.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            last_error_ = path_ + ": the line is gone";
            return false;
        }
        room_promised = ready > 0;
    }
    return true;
}

long LinuxSerialDevice::Read(uint8_t* destination, std::size_t count)
{
    if (fd_ < 0) {
        last_error_ = path_ + ": the device is closed";
        return -1;
    }
    if (count == 0)
        return 0;
    for (;;) {
        const ssize_t got = ::read(fd_, destination, count);
        if (got > 0)
            return static_cast<long>(got);
        if (got == 0) {
            // A non-blocking terminal read answers EAGAIN when empty; 0 is a hang-up.
            last_error_ = path_ + ": the line is gone";
            return -1;
        }
        if (errno == EAGAIN)
            return 0;
        if (errno != EINTR) {
            Fail("read failed", errno);
            return -1;
        }
    }
}

long LinuxSerialDevice::BytesWaiting()
{
    int waiting = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &waiting) != 0) {
        Fail("cannot count the bytes waiting", fd_ < 0 ? EBADF : errno);
        return -1;
    }
    return waiting;
}

uint32_t LinuxSerialDevice::TakeErrorFlags()
{
    struct serial_icounter_struct now{};
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
        struct pollfd wait{fd_, POLLIN, 0};
        const int ready = ::poll(&wait, 1, some_waiting || woke_with_nothing ? 0 : PollMilliseconds(left));
        if (ready < 0 && errno != EINTR) {
            Fail("waiting for input failed", errno);
            return WaitResult::Gone;
        }
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

bool LinuxSerialDevice::Close()
{
    if (fd_ < 0)
        return true;
    // Only a mode we set is ours to clear: after a refused open it belongs
    // to the program that holds the port.
    if (exclusive_)
        ::ioctl(fd_, TIOCNXCL);
    // Linux releases the descriptor even when close() reports an error, so
    // the port is free again either way.
    if (::close(fd_) != 0 && errno != EINTR)
        Fail("close reported an error", errno);
    fd_ = -1;
    return true;
}

}  // namespace

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& path, std::string& reason,
                                               double write_timeout_seconds)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = OpenFailureText(path, errno);
        return nullptr;
    }
    auto device = std::make_unique<LinuxSerialDevice>(fd, path, write_timeout_seconds);
    reason = device->Prepare();
    if (!reason.empty())
        return nullptr;
    return device;
}

std::unique_ptr<SerialDevice> PosixPortOpener::OpenPort(int port, std::string& reason)
{
    const std::string path = map_.PathOf(port);
    if (path.empty()) {
        reason = "COM" + std::to_string(port) + ": no serial device is mapped to this port";
        return nullptr;
    }
    return OpenSerialDevice(path, reason);
}

}  // namespace varnox
