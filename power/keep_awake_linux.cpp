// The system bus behind LogindInhibitor, through sd-bus.

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "power/logind_inhibitor.h"

namespace varnox {
namespace {

// logind answers at once; a bus that does not must not hold up the run.
constexpr uint64_t kCallTimeoutUsec = 2'000'000;

// Errors of connecting, as sd-bus reports them at the first call.
bool NoBusError(int error)
{
    return error == ENOENT || error == ECONNREFUSED || error == ENOTCONN || error == ENXIO;
}

class SdLogindBus : public LogindBus {
public:
    Reply Inhibit(const std::string& what, const std::string& who, const std::string& why,
                  const std::string& mode) override
    {
        Reply reply;
        sd_bus* bus = nullptr;
        int result = sd_bus_open_system(&bus);
        if (result < 0) {
            reply.Result = NoBusError(-result) ? Outcome::NoBus : Outcome::CallFailed;
            reply.Message = std::strerror(-result);
            return reply;
        }
        sd_bus_set_method_call_timeout(bus, kCallTimeoutUsec);
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* answer = nullptr;
        result = sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                    "org.freedesktop.login1.Manager", "Inhibit", &error, &answer, "ssss",
                                    what.c_str(), who.c_str(), why.c_str(), mode.c_str());
        int fd = -1;
        if (result < 0) {
            const bool named = sd_bus_error_is_set(&error);
            reply.Result = !named && NoBusError(-result) ? Outcome::NoBus : Outcome::CallFailed;
            reply.ErrorName = named ? error.name : "";
            reply.Message = named && error.message ? error.message : std::strerror(-result);
        } else if ((result = sd_bus_message_read(answer, "h", &fd)) < 0) {
            reply.Message = std::string("unreadable answer: ") + std::strerror(-result);
        } else if ((reply.Fd = fcntl(fd, F_DUPFD_CLOEXEC, 3)) < 0) {
            // The answer owns its descriptor and closes it with the answer.
            reply.Message = std::string("cannot keep the lock: ") + std::strerror(errno);
        } else {
            reply.Result = Outcome::Ok;
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(answer);
        sd_bus_flush_close_unref(bus);
        return reply;
    }

    void Close(int fd) override { ::close(fd); }
};

}  // namespace

std::unique_ptr<SleepInhibitor> SystemSleepInhibitor()
{
    return std::make_unique<LogindInhibitor>(std::make_unique<SdLogindBus>());
}

}  // namespace varnox
