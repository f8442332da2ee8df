#pragma once
// The phases of a run drawn as a timeline for the run report: one bar per
// phase, a cross where an attempt failed, a ring where the adapter came back.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "record/run_record.h"

namespace varnox {

// More phases than a run goes through come only from an edited record; the
// report shows this many, so that it still fits its one page.
inline constexpr std::size_t kMostPhasesShown = 8;

// "EEPROM", "Loader handshake", ...; a name this version does not know, as it stands.
std::string PhaseTitle(std::string_view name);

// An inline SVG element (HTML-escaped texts) for the first kMostPhasesShown
// phases, on a time axis from the run's start to `run_seconds` or the last
// time a phase holds, whichever is later.
std::string PhaseTimelineSvg(const std::vector<PhaseRecord>& phases, double run_seconds);

}  // namespace varnox
