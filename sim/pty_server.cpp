#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace varnox {
namespace {

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

bool MakeRaw(int fd)
{
    struct termios t {};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

struct timespec Interval(double seconds)
{
    seconds = std::max(seconds, 0.0);
    struct timespec ts {};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>(std::ceil((seconds - static_cast<double>(ts.tv_sec)) * 1e9));
    if (ts.tv_nsec >= 1000000000L) {
        ++ts.tv_sec;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other)
        Reset(other.Release());
    return *this;
}

int UniqueFd::Release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

StopSignals::StopSignals()
{
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    if (::sigprocmask(SIG_BLOCK, &stop, &previous_) != 0) {
        error_ = Errno("sigprocmask");
        return;
    }
    fd_.Reset(::signalfd(-1, &stop, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!fd_)
        error_ = Errno("signalfd");
}

StopSignals::~StopSignals()
{
    fd_.Reset();
    ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

bool PtyServer::Open(std::string& error)
{
    master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master_) {
        error = Errno("posix_openpt");
        return false;
    }
    if (::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0) {
        error = Errno("unlockpt");
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(master_.Get(), name, sizeof name) != 0) {
        error = Errno("ptsname");
        return false;
    }
    slave_path_ = name;
    slave_.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave_) {
        error = Errno(slave_path_);
        return false;
    }
    if (!MakeRaw(slave_.Get()) || !MakeRaw(master_.Get())) {
        error = Errno("tcsetattr");
        return false;
    }
    const int flags = ::fcntl(master_.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(master_.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Errno("fcntl");
        return false;
    }
    return true;
}

void PtyServer::Pull(double now, WireTranscript& transcript)
{
    transcript.Note(now, "adapter pulled: the port is gone");
    // With both of our descriptors closed the tool's descriptor hangs up and
    // the device path disappears.
    master_.Reset();
    slave_.Reset();
}

void PtyServer::Drop(double now, WireTranscript& transcript)
{
    transcript.Note(now, "adapter pulled: the port is gone until it returns");
    // The master's close hangs up the tool's descriptor and removes the path.
    dropped_slave_ = std::move(slave_);
    master_.Reset();
    away_ = true;
}

bool PtyServer::Return(double now, WireTranscript& transcript, PortAnnouncer& announcer, std::string& error)
{
    if (!Open(error))
        return false;
    dropped_slave_.Reset();
    away_ = false;
    transcript.Note(now, "adapter back: " + slave_path_);
    return announcer.Announce(slave_path_, error);
}

PtyServer::Stop PtyServer::Serve(SimPanel& panel, Clock& clock, const StopSignals& signals,
                                 WireTranscript& transcript, PortAnnouncer& announcer, bool exit_after_restart,
                                 std::string& error)
{
    std::vector<uint8_t> unsent;
    unsigned dropouts_served = panel.Dropouts();
    // After a hang-up of the master, it is left out of the poll for a moment
    // rather than being polled again at once.
    double master_quiet_until = 0;

    for (;;) {
        const double now = clock.Now();

        if (master_) {
            const std::vector<uint8_t> due = panel.TakeArrived(now);
            transcript.Log(WireDirection::ToTool, now, due);
            unsent.insert(unsent.end(), due.begin(), due.end());
            if (!unsent.empty()) {
                const ssize_t n = ::write(master_.Get(), unsent.data(), unsent.size());
                if (n > 0)
                    unsent.erase(unsent.begin(), unsent.begin() + n);
                else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    error = Errno("write to the pseudo-terminal");
                    return Stop::Failed;
                }
            }
            if (panel.Pulled()) {
                Pull(now, transcript);
                unsent.clear();
            } else if (panel.Dropouts() != dropouts_served) {
                dropouts_served = panel.Dropouts();
                Drop(now, transcript);
                unsent.clear();
            }
        } else if (away_ && now >= panel.AdapterBackAt()) {
            if (!Return(now, transcript, announcer, error))
                return Stop::Failed;
            continue;
        }

        // Replies still on their way when the adapter was pulled go nowhere.
        std::optional<double> wake;
        if (master_ && !panel.Pending().empty())
            wake = panel.Pending().front().At;
        if (exit_after_restart && panel.RestartDoneAt()) {
            if (now >= *panel.RestartDoneAt()) {
                transcript.Note(now, "restarted");
                return Stop::Restarted;
            }
            wake = std::min(wake.value_or(*panel.RestartDoneAt()), *panel.RestartDoneAt());
        }
        if (away_)
            wake = std::min(wake.value_or(panel.AdapterBackAt()), panel.AdapterBackAt());
        const bool watch_master = master_ && now >= master_quiet_until;
        if (master_ && !watch_master)
            wake = std::min(wake.value_or(master_quiet_until), master_quiet_until);

        pollfd fds[2] = {{signals.Fd(), POLLIN, 0}, {master_.Get(), POLLIN, 0}};
        if (!unsent.empty())
            fds[1].events |= POLLOUT;
        const nfds_t count = watch_master ? 2 : 1;
        struct timespec timeout = Interval(wake.value_or(now) - now);
        const int ready = ::ppoll(fds, count, wake ? &timeout : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            error = Errno("ppoll");
            return Stop::Failed;
        }

        if ((fds[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (::read(signals.Fd(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                transcript.Note(clock.Now(),
                                std::string("stopped by ") + ::strsignal(static_cast<int>(info.ssi_signo)));
                return Stop::Signal;
            }
        }
        if (count < 2)
            continue;
        if ((fds[1].revents & POLLIN) != 0) {
            uint8_t buffer[4096];
            const ssize_t n = ::read(master_.Get(), buffer, sizeof buffer);
            if (n > 0) {
                const double arrived = clock.Now();
                const std::span<const uint8_t> bytes(buffer, static_cast<std::size_t>(n));
                transcript.Log(WireDirection::ToPanel, arrived, bytes);
                panel.Receive(bytes, arrived);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                master_quiet_until = clock.Now() + 0.05;
            }
        } else if ((fds[1].revents & (POLLHUP | POLLERR)) != 0) {
            master_quiet_until = clock.Now() + 0.05;
        }
    }
}

}  // namespace varnox
