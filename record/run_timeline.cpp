#include "record/run_timeline.h"

#include <algorithm>
#include <cmath>

#include "record/html_text.h"

namespace varnox {

namespace {

// Drawing units; the page scales the whole to its width.
constexpr double kWidth = 760;
constexpr double kPlotLeft = 150;
constexpr double kPlotRight = 746;
constexpr double kRowHeight = 18;
constexpr double kTop = 6;
// Marks beyond these come only from a pathological record and would add nothing to the drawing.
constexpr std::size_t kMostMarks = 400;

struct Axis {
    double Span = 1;  // seconds the plot's width stands for
    double X(double seconds) const
    {
        const double at = std::isfinite(seconds) ? std::clamp(seconds, 0.0, Span) : 0.0;
        return kPlotLeft + at / Span * (kPlotRight - kPlotLeft);
    }
};

// A tick step that gives at most 8 ticks over the span.
double TickStep(double span)
{
    for (double step : {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600})
        if (span / step <= 8)
            return step;
    return std::ceil(span / 8 / 3600) * 3600;
}

std::string TickLabel(double seconds, bool minutes)
{
    const long whole = long(std::lround(seconds));
    if (!minutes)
        return std::to_string(whole) + " s";
    const long s = whole % 60;
    return std::to_string(whole / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
}

std::string Cross(double x, double y)
{
    const std::string l = OneDecimal(x - 4), r = OneDecimal(x + 4), t = OneDecimal(y - 4), b = OneDecimal(y + 4);
    return "<path class=\"failed\" d=\"M" + l + " " + t + "L" + r + " " + b + "M" + l + " " + b + "L" + r + " " +
           t + "\"/>";
}

std::string Ring(double x, double y)
{
    return "<circle class=\"back\" cx=\"" + OneDecimal(x) + "\" cy=\"" + OneDecimal(y) + "\" r=\"4.5\"/>";
}

double LastTime(const std::vector<PhaseRecord>& phases, double run_seconds)
{
    double last = std::isfinite(run_seconds) ? run_seconds : 0;
    auto take = [&last](double t) {
        if (std::isfinite(t))
            last = std::max(last, t);
    };
    for (const PhaseRecord& phase : phases) {
        take(phase.End);
        std::for_each(phase.FailedAt.begin(), phase.FailedAt.end(), take);
        std::for_each(phase.ReconnectedAt.begin(), phase.ReconnectedAt.end(), take);
    }
    // A longer span comes only from an edited record; the ticks' arithmetic stays in range.
    return std::clamp(last, 1.0, 1e7);
}

}  // namespace

std::string PhaseTitle(std::string_view name)
{
    static constexpr std::string_view kTitles[][2] = {
        {"identity", "Identity read"},  {"eeprom", "EEPROM"},       {"handshake", "Loader handshake"},
        {"microkernel", "microKernel"}, {"flash", "Program flash"}, {"verification", "Check after restart"},
    };
    for (const auto& row : kTitles)
        if (row[0] == name)
            return std::string(row[1]);
    return std::string(name);
}

std::string PhaseTimelineSvg(const std::vector<PhaseRecord>& phases, double run_seconds)
{
    const std::size_t shown = std::min(phases.size(), kMostPhasesShown);
    const Axis axis{LastTime(phases, run_seconds)};
    const double axis_y = kTop + double(shown) * kRowHeight + 4;
    const double height = axis_y + 38;

    std::string svg = "<svg class=\"timeline\" viewBox=\"0 0 " + OneDecimal(kWidth) + " " + OneDecimal(height) +
                      "\" role=\"img\" aria-label=\"phase timeline\">";
    for (std::size_t i = 0; i < shown; ++i) {
        const PhaseRecord& phase = phases[i];
        const double y = kTop + double(i) * kRowHeight;
        const double left = axis.X(phase.Start);
        const double width = std::max(axis.X(phase.End) - left, 2.0);
        svg += "<text class=\"label\" x=\"" + OneDecimal(kPlotLeft - 8) + "\" y=\"" + OneDecimal(y + 15) + "\">" +
               HtmlText(PhaseTitle(phase.Name), 20) + "</text>";
        svg += "<rect class=\"bar\" x=\"" + OneDecimal(left) + "\" y=\"" + OneDecimal(y + 4) + "\" width=\"" +
               OneDecimal(width) + "\" height=\"14\"/>";
        for (std::size_t m = 0; m < std::min(phase.FailedAt.size(), kMostMarks); ++m)
            svg += Cross(axis.X(phase.FailedAt[m]), y + 11);
        for (std::size_t m = 0; m < std::min(phase.ReconnectedAt.size(), kMostMarks); ++m)
            svg += Ring(axis.X(phase.ReconnectedAt[m]), y + 11);
    }

    const bool minutes = axis.Span >= 120;
    const double step = TickStep(axis.Span);
    svg += "<line class=\"axis\" x1=\"" + OneDecimal(kPlotLeft) + "\" y1=\"" + OneDecimal(axis_y) + "\" x2=\"" +
           OneDecimal(kPlotRight) + "\" y2=\"" + OneDecimal(axis_y) + "\"/>";
    for (double t = 0; t <= axis.Span + 1e-9; t += step) {
        const std::string x = OneDecimal(axis.X(t));
        svg += "<line class=\"axis\" x1=\"" + x + "\" y1=\"" + OneDecimal(axis_y) + "\" x2=\"" + x + "\" y2=\"" +
               OneDecimal(axis_y + 4) + "\"/><text class=\"tick\" x=\"" + x + "\" y=\"" + OneDecimal(axis_y + 15) +
               "\">" + TickLabel(t, minutes) + "</text>";
    }
    const std::string legend_y = OneDecimal(axis_y + 32);
    svg += "<text class=\"label\" x=\"" + OneDecimal(kPlotLeft - 8) + "\" y=\"" + legend_y + "\">" +
           (minutes ? "min:s" : "seconds") + " from the start</text>";
    svg += Cross(kPlotLeft + 6, axis_y + 28) + "<text class=\"legend\" x=\"" + OneDecimal(kPlotLeft + 16) +
           "\" y=\"" + legend_y + "\">failed attempt</text>";
    svg += Ring(kPlotLeft + 126, axis_y + 28) + "<text class=\"legend\" x=\"" + OneDecimal(kPlotLeft + 136) +
           "\" y=\"" + legend_y + "\">adapter back after a loss</text>";
    return svg + "</svg>";
}

}  // namespace varnox
