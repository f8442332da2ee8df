#include "power/logind_inhibitor.h"

#include <array>
#include <string_view>

namespace varnox {
namespace {

// The answers of a system bus on which nobody owns, or can start, logind.
constexpr std::array<std::string_view, 2> kNoLogind = {
    "org.freedesktop.DBus.Error.ServiceUnknown",
    "org.freedesktop.DBus.Error.NameHasNoOwner",
};

}  // namespace

LogindInhibitor::LogindInhibitor(std::unique_ptr<LogindBus> bus) : bus_(std::move(bus)) {}

AwakeStatus LogindInhibitor::Take(std::string& why)
{
    const LogindBus::Reply reply =
        bus_->Inhibit("sleep:idle", "varnox-patch", "firmware update in progress", "block");
    switch (reply.Result) {
    case LogindBus::Outcome::Ok:
        if (reply.Fd < 0)
            break;
        lock_fd_ = reply.Fd;
        return AwakeStatus::Taken;
    case LogindBus::Outcome::NoBus: why = "no system bus: " + reply.Message; return AwakeStatus::Unavailable;
    case LogindBus::Outcome::CallFailed:
        for (const std::string_view name : kNoLogind) {
            if (reply.ErrorName == name) {
                why = "no logind on the system bus: " + reply.Message;
                return AwakeStatus::Unavailable;
            }
        }
        why = "logind refused the inhibitor lock: " +
              (reply.ErrorName.empty() ? reply.Message : reply.ErrorName + ": " + reply.Message);
        return AwakeStatus::Failed;
    }
    why = "logind answered without an inhibitor lock";
    return AwakeStatus::Failed;
}

void LogindInhibitor::Release()
{
    if (lock_fd_ >= 0)
        bus_->Close(lock_fd_);
    lock_fd_ = -1;
}

}  // namespace varnox
