#include "cli/update_runner.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <thread>

#include "cli/interrupt_policy.h"

namespace varnox {

namespace {

// The status line's elapsed time moves once a second during long pauses.
constexpr int kTickMs = 1000;
// A stopped engine leaves at its next boundary, well within a second; this
// only guards against a device that blocks for good.
constexpr double kStopGraceSeconds = 10.0;

const char* const kInterruptWarningItalian =
    "ATTENZIONE: interrompere l'aggiornamento può lasciare la centrale inutilizzabile.";
const char* const kInterruptWarningEnglish =
    "WARNING: interrupting the update can leave the panel unusable. "
    "Press Ctrl-C again within 3 s to stop it anyway.";
const char* const kStopping = "Stopping the update: closing the port...";
const char* const kStopStuck = "The update did not stop in time; leaving without it.";
const char* const kNoSupervision =
    "Cannot watch for Ctrl-C; the update runs to its end without it.";

sigset_t HandledSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A closed terminal must not cut an update short: the panel would be left
    // half written. The update goes on; its output goes nowhere.
    sigaddset(&set, SIGHUP);
    return set;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

}  // namespace

void BlockHandledSignals()
{
    const sigset_t set = HandledSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int ExitStatus(UpdateEnding ending, int stop_signal)
{
    if (stop_signal != 0) return 128 + stop_signal;
    return ending == UpdateEnding::Completed ? 0 : 1;
}

int RunSupervised(UpdateEngine& engine, InterruptibleClock& clock, ConsoleWindow& window)
{
    const sigset_t set = HandledSignals();
    FileDescriptor signals(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    FileDescriptor done(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!signals.valid() || !done.valid()) {
        window.Notice({kNoSupervision});
        return ExitStatus(engine.Run(), 0);
    }

    UpdateEnding ending = UpdateEnding::NotRun;
    std::thread worker([&engine, &ending, fd = done.get()] {
        ending = engine.Run();
        const uint64_t one = 1;
        while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    });

    InterruptPolicy policy;
    int stop_signal = 0;
    double stop_deadline = 0;
    auto stop = [&](int signal_number) {
        stop_signal = signal_number;
        stop_deadline = clock.Now() + kStopGraceSeconds;
        window.Notice({kStopping});
        engine.RequestStop();
        clock.Interrupt();
    };

    for (;;) {
        pollfd fds[2] = {{done.get(), POLLIN, 0}, {signals.get(), POLLIN, 0}};
        const int result = ::poll(fds, 2, kTickMs);
        if (result < 0 && errno != EINTR) break;  // cannot watch any more: just wait for the end
        if (result > 0 && (fds[0].revents & POLLIN)) break;
        if (result > 0 && (fds[1].revents & POLLIN)) {
            signalfd_siginfo info{};
            while (::read(signals.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (stop_signal != 0) continue;
                const int number = static_cast<int>(info.ssi_signo);
                if (number == SIGTERM) {
                    stop(number);
                } else if (number == SIGINT) {
                    if (policy.OnInterrupt(clock.Now()) == InterruptPolicy::Decision::Stop)
                        stop(number);
                    else
                        window.Notice({kInterruptWarningItalian, kInterruptWarningEnglish});
                }
            }
        }
        if (stop_signal != 0 && clock.Now() > stop_deadline) {
            window.Notice({kStopStuck});
            window.Finish();
            // The kernel closes the port with the process.
            ::_exit(ExitStatus(UpdateEnding::Interrupted, stop_signal));
        }
        window.Tick();
    }
    worker.join();
    return ExitStatus(ending, stop_signal);
}

}  // namespace varnox
