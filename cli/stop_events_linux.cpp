// Stop events on Linux: SIGINT and SIGTERM, taken through a signalfd by the
// main thread; the update's end arrives on an eventfd.

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "cli/stop_events.h"

namespace varnox {

namespace {

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

class SignalStopEvents final : public StopEventSource {
public:
    SignalStopEvents()
    {
        const sigset_t set = HandledSignals();
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
    }
    ~SignalStopEvents() override
    {
        for (const int fd : {signals_, done_})
            if (fd >= 0)
                ::close(fd);
    }
    SignalStopEvents(const SignalStopEvents&) = delete;
    SignalStopEvents& operator=(const SignalStopEvents&) = delete;

    bool Start() override
    {
        const sigset_t set = HandledSignals();
        signals_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
        done_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        return signals_ >= 0 && done_ >= 0;
    }

    Wake Wait(int timeout_ms, std::vector<StopEvent>& events) override
    {
        pollfd fds[2] = {{done_, POLLIN, 0}, {signals_, POLLIN, 0}};
        const int result = ::poll(fds, 2, timeout_ms);
        if (result < 0 && errno != EINTR)
            return Wake::Lost;
        if (result > 0 && (fds[0].revents & POLLIN))
            return Wake::Ended;
        if (result > 0 && (fds[1].revents & POLLIN)) {
            signalfd_siginfo info{};
            while (::read(signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo == SIGINT)
                    events.push_back(StopEvent::Interrupt);
                if (info.ssi_signo == SIGTERM)
                    events.push_back(StopEvent::Terminate);
            }
        }
        return Wake::Watching;
    }

    void UpdateEnded() override
    {
        const uint64_t one = 1;
        while (::write(done_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

private:
    int signals_ = -1;
    int done_ = -1;
};

}  // namespace

std::unique_ptr<StopEventSource> SystemStopEvents()
{
    return std::make_unique<SignalStopEvents>();
}

}  // namespace varnox
