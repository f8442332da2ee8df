#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace varnox::testing {

namespace {

int StatusOf(int wait_status)
{
    if (WIFEXITED(wait_status))
        return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status))
        return 128 + WTERMSIG(wait_status);
    return -1;
}

}  // namespace

double MonotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double Seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double ChildResult::CpuSeconds() const
{
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    CloseFd(out_fd_);
    CloseFd(err_fd_);
}

void ChildProcess::CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool ChildProcess::Start(const std::vector<std::string>& argv, std::string& error)
{
    if (argv.empty()) {
        error = "nothing to run";
        return false;
    }
    int out_pipe[2];
    int err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        ::close(out_pipe[0]);
        ::close(out_pipe[1]);
        return false;
    }
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    start_ = MonotonicSeconds();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0)
            ::dup2(null, STDIN_FILENO);
        ::dup2(out_pipe[1], STDOUT_FILENO);
        ::dup2(err_pipe[1], STDERR_FILENO);
        // The parent may block signals for its own reasons; the child starts clean.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        ::close(out_pipe[0]);
        ::close(err_pipe[0]);
        return false;
    }
    pid_ = pid;
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
    return true;
}

bool ChildProcess::Pump(int wait_ms)
{
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (out_fd_ < 0 && err_fd_ < 0)
        return false;
    const int ready = ::poll(fds, 2, wait_ms);
    if (ready <= 0)
        return true;
    char buffer[4096];
    auto drain = [&buffer](int& fd, short revents, std::string& into) {
        if (fd < 0 || revents == 0)
            return;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            into.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            ::close(fd);
            fd = -1;
        }
    };
    drain(out_fd_, fds[0].revents, out_);
    drain(err_fd_, fds[1].revents, err_);
    return out_fd_ >= 0 || err_fd_ >= 0;
}

bool ChildProcess::ReadStdoutLine(std::string& line, double timeout_seconds)
{
    const double deadline = MonotonicSeconds() + timeout_seconds;
    for (;;) {
        const auto newline = out_.find('\n');
        if (newline != std::string::npos) {
            line = out_.substr(0, newline);
            out_.erase(0, newline + 1);
            return true;
        }
        const double left = deadline - MonotonicSeconds();
        if (left <= 0 || out_fd_ < 0)
            return false;
        if (!Pump(static_cast<int>(left * 1000) + 1))
            return false;
    }
}

void ChildProcess::Signal(int signal_number)
{
    if (pid_ > 0)
        ::kill(pid_, signal_number);
}

ChildResult ChildProcess::Finish(double timeout_seconds)
{
    ChildResult result;
    if (pid_ <= 0)
        return result;
    const double deadline = MonotonicSeconds() + timeout_seconds;
    int status = 0;
    pid_t reaped = 0;
    while (reaped == 0) {
        const double left = deadline - MonotonicSeconds();
        if (left <= 0) {
            result.timed_out = true;
            ::kill(pid_, SIGKILL);
            do {
                reaped = ::wait4(pid_, &status, 0, &result.usage);
            } while (reaped < 0 && errno == EINTR);
            break;
        }
        // Output first; once both pipes have ended, look for the exit now and then.
        const bool open = Pump(std::min(static_cast<int>(left * 1000) + 1, 20));
        if (!open || out_fd_ < 0 || err_fd_ < 0) {
            reaped = ::wait4(pid_, &status, WNOHANG, &result.usage);
            if (reaped < 0 && errno == EINTR)
                reaped = 0;
            if (reaped == 0 && !open)
                ::poll(nullptr, 0, 5);
        }
    }
    result.wall_seconds = MonotonicSeconds() - start_;
    result.status = reaped == pid_ ? StatusOf(status) : -1;
    pid_ = -1;
    // What is left in the pipes (bounded: a grandchild may hold them open).
    for (int i = 0; i < 50 && Pump(10); ++i) {
    }
    CloseFd(out_fd_);
    CloseFd(err_fd_);
    result.out = std::move(out_);
    result.err = std::move(err_);
    return result;
}

ChildResult RunToEnd(const std::vector<std::string>& argv, double timeout_seconds)
{
    ChildProcess child;
    ChildResult failed;
    if (!child.Start(argv, failed.err))
        return failed;
    return child.Finish(timeout_seconds);
}

}  // namespace varnox::testing
