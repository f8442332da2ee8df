#pragma once
// A record's time as the clock on the wall showed it where the report is made.

#include <chrono>
#include <string>

namespace varnox {

// "2025-03-14 10:26:53 (UTC+01:00)", in the machine's own time zone.
std::string ReadableLocal(std::chrono::system_clock::time_point time);

}  // namespace varnox
