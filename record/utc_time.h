#pragma once
// Times of the run record: ISO 8601 in UTC, to the second.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace varnox {

// "2025-03-14T09:26:53Z"
std::string IsoUtc(std::chrono::system_clock::time_point time);
// "2025-03-14 09:26:53", for tables read by people.
std::string ReadableUtc(std::chrono::system_clock::time_point time);
// Reads "YYYY-MM-DDTHH:MM:SSZ", with or without a fraction of a second
// (dropped); std::nullopt for anything else, including impossible dates and
// times the system clock cannot hold (outside 1678..2261 with nanosecond ticks).
std::optional<std::chrono::system_clock::time_point> ParseIsoUtc(std::string_view text);

}  // namespace varnox
