#include "cli/status_line.h"

#include <algorithm>
#include <cstdio>

namespace varnox {

namespace {

constexpr int kBarWidth = 20;
// Too early in a range for a pace worth showing.
constexpr double kMinimumPaceTime = 2.0;

}  // namespace

std::string FormatDuration(double seconds)
{
    const long total = seconds > 0 ? static_cast<long>(seconds) : 0;
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string FormatStatusLine(const StatusState& state, int width)
{
    std::string line;
    if (state.gauge_visible) {
        const int percent = GaugePercent(state.progress, state.maximum);
        const int filled = percent * kBarWidth / 100;
        line += '[';
        line.append(static_cast<std::size_t>(filled), '#');
        line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
        line += "] ";
        char number[8];
        std::snprintf(number, sizeof number, "%3d%%", percent);
        line += number;
    }
    auto field = [&line](const char* label, const std::string& value) {
        if (value.empty())
            return;
        if (!line.empty())
            line += "  ";
        line += label;
        line += value;
    };
    field("", state.panel_type);
    field("EEPROM ", state.address);
    field("FLASH ", state.flash_address);
    field("ERRORs ", state.error_counter);
    field("", FormatDuration(state.elapsed));
    if (state.remaining)
        line += " (~" + FormatDuration(*state.remaining) + " left)";

    const std::size_t room = width > 1 ? static_cast<std::size_t>(width - 1) : 0;
    if (line.size() > room)
        line.resize(room);
    return line;
}

void ProgressRate::Restart(double now)
{
    start_time_ = now;
    start_progress_.reset();
    last_progress_ = 0;
}

void ProgressRate::Record(int progress, double now)
{
    if (start_progress_ && progress < last_progress_)
        Restart(now);
    if (!start_progress_) {
        start_progress_ = progress;
        start_time_ = now;
    }
    last_progress_ = progress;
}

std::optional<double> ProgressRate::Remaining(int maximum, double now) const
{
    if (!start_progress_)
        return std::nullopt;
    const double spent = now - start_time_;
    const int done = last_progress_ - *start_progress_;
    if (spent < kMinimumPaceTime || done <= 0 || maximum <= last_progress_)
        return std::nullopt;
    return spent * (maximum - last_progress_) / done;
}

}  // namespace varnox
