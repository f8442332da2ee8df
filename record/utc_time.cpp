#include "record/utc_time.h"

#include <cstdio>

namespace varnox {

namespace {

using namespace std::chrono;

std::string Format(system_clock::time_point time, char separator, const char* suffix)
{
    const auto seconds = floor<std::chrono::seconds>(time);
    const auto day = floor<days>(seconds);
    const year_month_day date{day};
    const hh_mm_ss clock{seconds - day};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u%c%02d:%02d:%02d%s", int(date.year()), unsigned(date.month()),
                  unsigned(date.day()), separator, int(clock.hours().count()), int(clock.minutes().count()),
                  int(clock.seconds().count()), suffix);
    return text;
}

// The decimal number of text[at, at+width); -1 unless it is all digits.
int Digits(std::string_view text, size_t at, size_t width)
{
    int value = 0;
    for (size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::string IsoUtc(system_clock::time_point time)
{
    return Format(time, 'T', "Z");
}

std::string ReadableUtc(system_clock::time_point time)
{
    return Format(time, ' ', "");
}

std::optional<system_clock::time_point> ParseIsoUtc(std::string_view text)
{
    // YYYY-MM-DDTHH:MM:SS then [.fraction] Z
    if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text.back() != 'Z')
        return std::nullopt;
    std::string_view fraction = text.substr(19, text.size() - 20);
    if (!fraction.empty() && (fraction.size() < 2 || fraction[0] != '.' ||
                              fraction.find_first_not_of("0123456789", 1) != fraction.npos))
        return std::nullopt;
    const int y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    const int h = Digits(text, 11, 2), mi = Digits(text, 14, 2), s = Digits(text, 17, 2);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    const year_month_day date{year{y}, month{unsigned(mo)}, day{unsigned(d)}};
    if (!date.ok())
        return std::nullopt;
    // In seconds a four-digit year always fits; the system clock's finer ticks
    // hold only some centuries (1678 to 2261 in nanoseconds), and a time
    // outside them would wrap into another year.
    const sys_seconds time = sys_days{date} + hours{h} + minutes{mi} + seconds{s};
    if (time < ceil<seconds>(system_clock::time_point::min()) ||
        time > floor<seconds>(system_clock::time_point::max()))
        return std::nullopt;
    return time;
}

}  // namespace varnox
