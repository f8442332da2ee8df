#pragma once
// A program run as a child with its output captured: the console tool and the
// simulated panel, as the tests and the bench drive them. Waits are bounded; a
// child still running when its handle goes is killed and reaped.

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace varnox::testing {

struct ChildResult {
    bool timed_out = false;   // killed because it overran the time given
    int status = -1;          // exit status, or 128 + the signal that ended it
    std::string out, err;     // everything it wrote (after what was read line by line)
    double wall_seconds = 0;  // from start to reaping
    rusage usage{};           // of the child alone (wait4)

    // User and system time together.
    double CpuSeconds() const;
};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (a path) with stdin from /dev/null and stdout and stderr
    // captured. False with `error` set when it could not be started.
    bool Start(const std::vector<std::string>& argv, std::string& error);

    // Reads one line of the child's stdout (without its newline); false when
    // none came within `timeout_seconds` or the stream ended first.
    bool ReadStdoutLine(std::string& line, double timeout_seconds);

    void Signal(int signal_number);

    // Collects the rest of the output until the child ends, then reaps it.
    // After `timeout_seconds` it is killed (timed_out) and reaped.
    ChildResult Finish(double timeout_seconds);

    pid_t Pid() const { return pid_; }

private:
    // Reads what is available on the pipes, waiting at most `wait_ms`; false when both ended.
    bool Pump(int wait_ms);
    void CloseFd(int& fd);

    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::string out_, err_;
    double start_ = 0;
};

// Runs `argv` to its end (see ChildProcess::Finish); one that cannot be
// started has status -1 and the reason in `err`.
ChildResult RunToEnd(const std::vector<std::string>& argv, double timeout_seconds);

// Monotonic seconds.
double MonotonicSeconds();

double Seconds(const timeval& time);

}  // namespace varnox::testing
