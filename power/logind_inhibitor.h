#pragma once
// The Linux hold: a logind inhibitor lock ("sleep:idle", mode "block"), held
// as long as the file descriptor logind hands back stays open.

#include <memory>
#include <string>

#include "power/keep_awake.h"

namespace varnox {

// The system bus as the lock needs it; sd-bus in the program, fakes in tests.
class LogindBus {
public:
    enum class Outcome {
        Ok,          // Fd is the lock, the caller's to close
        NoBus,       // no system bus to connect to
        CallFailed,  // the call was refused or got no answer: ErrorName, Message
    };
    struct Reply {
        Outcome Result = Outcome::CallFailed;
        int Fd = -1;
        std::string ErrorName;  // a D-Bus error name, e.g. org.freedesktop.DBus.Error.AccessDenied
        std::string Message;
    };

    virtual ~LogindBus() = default;
    // org.freedesktop.login1.Manager.Inhibit(what, who, why, mode).
    virtual Reply Inhibit(const std::string& what, const std::string& who, const std::string& why,
                          const std::string& mode) = 0;
    virtual void Close(int fd) = 0;
};

class LogindInhibitor : public SleepInhibitor {
public:
    explicit LogindInhibitor(std::unique_ptr<LogindBus> bus);
    AwakeStatus Take(std::string& why) override;
    void Release() override;

private:
    std::unique_ptr<LogindBus> bus_;
    int lock_fd_ = -1;
};

}  // namespace varnox
