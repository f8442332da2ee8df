#include "record/local_time.h"

#include <cstdio>
#include <ctime>

namespace varnox {

std::string ReadableLocal(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const std::time_t utc = system_clock::to_time_t(floor<seconds>(time));
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &utc) != 0)
        return "-";
#else
    if (localtime_r(&utc, &local) == nullptr)
        return "-";
#endif
    // The zone's offset is the local fields read as if they were UTC, less
    // the time itself: no zone name, which Windows gives in its own language
    // and code page.
    const sys_seconds as_if_utc =
        sys_days{year{local.tm_year + 1900} / month{unsigned(local.tm_mon + 1)} / day{unsigned(local.tm_mday)}} +
        hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec};
    const long offset = long(duration_cast<minutes>(as_if_utc - floor<seconds>(time)).count());
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d (UTC%c%02ld:%02ld)", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

}  // namespace varnox
