// The Linux hold through sd-bus, against a private dbus-daemon standing in for
// the system bus: first without logind, then with a logind of the test's own
// that hands out a pipe as the lock, as logind does.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "power/keep_awake.h"

namespace varnox {
namespace {

class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access("/usr/bin/dbus-daemon", X_OK) != 0)
            GTEST_SKIP() << "no dbus-daemon";
        std::FILE* out = ::popen("/usr/bin/dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        ASSERT_NE(out, nullptr);
        char address[512] = {};
        char pid[32] = {};
        const bool read = std::fgets(address, sizeof address, out) && std::fgets(pid, sizeof pid, out);
        ::pclose(out);
        ASSERT_TRUE(read);
        daemon_ = std::atoi(pid);
        address_ = address;
        address_.erase(address_.find_last_not_of('\n') + 1);
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    }

    void TearDown() override
    {
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (daemon_ > 0)
            ::kill(daemon_, SIGTERM);
    }

    std::string address_;
    pid_t daemon_ = -1;
};

// A logind that answers Inhibit with the write end of a pipe and keeps the
// read end, which reports a hang-up once every copy of the lock is closed.
class FakeLogind {
public:
    explicit FakeLogind(const std::string& address)
    {
        sd_bus_new(&bus_);
        sd_bus_set_address(bus_, address.c_str());
        sd_bus_set_bus_client(bus_, 1);
        ok_ = sd_bus_start(bus_) >= 0 &&
              sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                       kVtable, this) >= 0 &&
              sd_bus_request_name(bus_, "org.freedesktop.login1", 0) >= 0;
        if (ok_)
            thread_ = std::thread([this] {
                while (!stop_) {
                    while (sd_bus_process(bus_, nullptr) > 0) {
                    }
                    sd_bus_wait(bus_, 50'000);
                }
            });
    }
    ~FakeLogind()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        sd_bus_flush_close_unref(bus_);
        if (lock_read_end_ >= 0)
            ::close(lock_read_end_);
    }

    bool Ok() const { return ok_; }
    std::vector<std::string> Arguments()
    {
        const std::lock_guard lock(mutex_);
        return arguments_;
    }
    // Whether the lock handed out has been closed by everyone, waiting up to `timeout_ms` for it.
    bool LockReleased(int timeout_ms)
    {
        int read_end = -1;
        {
            const std::lock_guard lock(mutex_);
            read_end = lock_read_end_;
        }
        pollfd fd = {read_end, POLLIN, 0};
        return read_end >= 0 && ::poll(&fd, 1, timeout_ms) == 1 && (fd.revents & POLLHUP);
    }

private:
    static int Inhibit(sd_bus_message* call, void* self_pointer, sd_bus_error*)
    {
        auto* self = static_cast<FakeLogind*>(self_pointer);
        const char* text[4] = {};
        sd_bus_message_read(call, "ssss", &text[0], &text[1], &text[2], &text[3]);
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return -errno;
        {
            const std::lock_guard lock(self->mutex_);
            self->arguments_.assign(text, text + 4);
            self->lock_read_end_ = ends[0];
        }
        const int result = sd_bus_reply_method_return(call, "h", ends[1]);  // sends a copy
        ::close(ends[1]);
        return result;
    }

    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Inhibit", "ssss", "h", Inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END,
    };

    sd_bus* bus_ = nullptr;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> arguments_;
    int lock_read_end_ = -1;
};

TEST_F(PrivateBus, WithoutLogindNothingIsTakenAndNothingIsWrong)
{
    const KeepAwake awake;
    EXPECT_EQ(awake.Status(), AwakeStatus::Unavailable) << awake.WhyNot();
    EXPECT_EQ(awake.WhyNot().rfind("no logind on the system bus", 0), 0u) << awake.WhyNot();
}

TEST_F(PrivateBus, LogindLockIsHeldForTheScope)
{
    FakeLogind logind(address_);
    ASSERT_TRUE(logind.Ok());
    {
        const KeepAwake awake;
        ASSERT_TRUE(awake.Taken()) << awake.WhyNot();
        EXPECT_EQ(logind.Arguments(), (std::vector<std::string>{"sleep:idle", "varnox-patch",
                                                                "firmware update in progress", "block"}));
        EXPECT_FALSE(logind.LockReleased(0)) << "the lock went before the scope ended";
    }
    EXPECT_TRUE(logind.LockReleased(2000));
}

}  // namespace
}  // namespace varnox
