#pragma once
// The console's one-line view of the window's gauge and INFO BOX fields,
// redrawn in place on a terminal.

#include <optional>
#include <string>

#include "core/gauge_percent.h"

namespace varnox {

struct StatusState {
    bool gauge_visible = false;
    int progress = 0;
    int maximum = 100;
    std::string panel_type, address, flash_address, error_counter;
    double elapsed = 0;               // seconds since the run started
    std::optional<double> remaining;  // estimate for the gauge's current range
};

// "m:ss", or "h:mm:ss" from one hour on.
std::string FormatDuration(double seconds);

// The status line, at most `width` - 1 characters (so the terminal never
// wraps it), without any control characters.
std::string FormatStatusLine(const StatusState& state, int width);

// Estimates the time left in the gauge's current range from the pace so far.
class ProgressRate {
public:
    // A new range starts (the gauge's maximum or its progress went back).
    void Restart(double now);
    void Record(int progress, double now);
    std::optional<double> Remaining(int maximum, double now) const;

private:
    double start_time_ = 0;
    std::optional<int> start_progress_;
    int last_progress_ = 0;
};

}  // namespace varnox
