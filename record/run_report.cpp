// The run report: the record's facts in the order a maintenance register
// reads them, the verdict first, the phases as a table and a timeline. Every
// text that comes from the record passes HtmlText, since a record is a file
// anyone can edit; a text too long for the one page is cut short there.

#include "record/run_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "record/html_text.h"
#include "record/local_time.h"
#include "record/run_timeline.h"
#include "record/run_verdict.h"
#include "record/utc_time.h"

namespace varnox {

namespace {

constexpr const char* kStyle = R"(
@page { size: A4; margin: 12mm 15mm; }
html { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body { font-family: "DejaVu Sans", Arial, Helvetica, sans-serif; font-size: 9pt; line-height: 1.25;
       color: #000; margin: 0; }
@media screen { body { max-width: 180mm; margin: 10mm auto; } }
h1 { font-size: 15pt; margin: 0; }
.sub { margin: 1mm 0 3mm; color: #333; max-height: 1.25em; overflow: hidden; }
h2 { font-size: 10.5pt; margin: 3mm 0 1.5mm; padding-bottom: 0.5mm; border-bottom: 0.5pt solid #000; }
.verdict { display: flex; justify-content: space-between; align-items: center; padding: 2.5mm 4mm;
           border-radius: 1.5mm; color: #fff; font-weight: bold; font-size: 11.5pt; }
.verdict .exit { font-size: 9.5pt; font-weight: normal; white-space: nowrap; margin-left: 4mm; }
.green { background: #1b6e35; } .amber { background: #a35a00; }
.red { background: #b71c1c; } .grey { background: #555; }
table { border-collapse: collapse; width: 100%; }
.columns { display: flex; gap: 8mm; } .columns > div { flex: 1; min-width: 0; }
.facts th { width: 27mm; padding: 0.5mm 2mm 0.5mm 0; text-align: left; vertical-align: top; font-weight: normal;
            color: #333; }
.columns > div:last-child .facts th { width: 37mm; }
.facts td { padding: 0.5mm 0; overflow-wrap: anywhere; }
/* A cell holds at most two lines, so that even an edited record prints on one page. */
.clip { max-height: 2.5em; overflow: hidden; }
.mono { font-family: "DejaVu Sans Mono", Consolas, monospace; }
.phases th, .phases td { padding: 0.7mm 1.5mm; border-bottom: 0.3pt solid #999; text-align: left;
                         vertical-align: top; overflow-wrap: anywhere; }
.phases { table-layout: fixed; } .phases th { background: #eee; }
.phases td:first-child { white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
.phases .num { text-align: right; white-space: nowrap; overflow: hidden; } .phases th { font-size: 8.5pt; overflow-wrap: normal; } .phases th.num { white-space: normal; }
.timeline { display: block; width: 100%; height: auto; margin-top: 2mm; }
.timeline text { font-size: 11px; font-family: inherit; }
.timeline .label { text-anchor: end; } .timeline .tick { text-anchor: middle; }
.bar { fill: #b8c7d6; stroke: #37474f; stroke-width: 0.8; }
.failed { fill: none; stroke: #c62828; stroke-width: 2.2; }
.back { fill: #fff; stroke: #1b6e35; stroke-width: 2; }
.axis { stroke: #000; stroke-width: 0.8; }
.note { color: #333; font-style: italic; margin: 1mm 0; }
.signature { display: flex; gap: 8mm; margin-top: 5mm; }
.signature div { flex: 1; padding-top: 1mm; border-top: 0.5pt solid #000; font-size: 8.5pt; color: #333; }
table, svg, .signature { break-inside: avoid; }
)";

// Kinds of failure listed per phase; more come only from an edited record.
constexpr std::size_t kMostKindsShown = 4;

const char* ColourClass(VerdictColour colour)
{
    switch (colour) {
    case VerdictColour::Green: return "green";
    case VerdictColour::Amber: return "amber";
    case VerdictColour::Red: return "red";
    case VerdictColour::Grey: break;
    }
    return "grey";
}

std::string Identity(const std::optional<IdentityBytes>& bytes, const char* absent)
{
    if (!bytes)
        return absent;
    std::string text;
    for (uint8_t byte : *bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, text.empty() ? "%02X" : " %02X", unsigned(byte));
        text += pair;
    }
    return "<span class=\"mono\">" + text + "</span>";
}

// "12.3 s", "6 min 08 s", "1 h 02 min 03 s".
std::string Lasting(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return "-";
    if (seconds < 60)
        return OneDecimal(seconds) + " s";
    const long long whole = std::llround(std::min(seconds, 1e12));
    const auto two = [](long long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    if (whole < 3600)
        return std::to_string(whole / 60) + " min " + two(whole % 60) + " s";
    return std::to_string(whole / 3600) + " h " + two(whole / 60 % 60) + " min " + two(whole % 60) + " s";
}

std::string When(std::chrono::system_clock::time_point time)
{
    return ReadableLocal(time) + "<br>" + ReadableUtc(time) + " UTC";
}

std::string Row(const char* heading, const std::string& html)
{
    return std::string("<tr><th>") + heading + "</th><td><div class=\"clip\">" + html + "</div></td></tr>\n";
}

std::string FailedTotals(const RunRecord& record)
{
    const FailedAttempts& f = record.Failed;
    return "EEPROM " + std::to_string(f.Eeprom) + ", handshake " + std::to_string(f.Handshake) + ", microKernel " +
           std::to_string(f.MicroKernel) + ", flash " + std::to_string(f.Flash);
}

// The run on the left, the panel on the right; the image below across the
// page, where its SHA-256 fits on one line.
std::string FactsSections(const RunRecord& record)
{
    const double lasted = std::chrono::duration<double>(record.End - record.Start).count();
    const std::string run =
        Row("Started", When(record.Start)) + Row("Ended", When(record.End)) + Row("Duration", Lasting(lasted)) +
        Row("Technician", record.Technician.empty() ? "not recorded" : HtmlText(record.Technician)) +
        Row("Port", HtmlText(record.Port)) +
        Row("Adapter", record.Adapter ? HtmlText(*record.Adapter) : "not known");
    const std::string panel =
        Row("Identity before", Identity(record.IdentityBefore, "not read")) +
        Row("Firmware before", record.FirmwareBefore ? HtmlText(*record.FirmwareBefore) : "-") +
        Row("Identity after restart", Identity(record.IdentityAfter, "not read")) +
        Row("Check after restart", HtmlText(record.Verification)) + Row("Ending", HtmlText(record.Ending)) +
        Row("Failed attempts", FailedTotals(record)) +
        Row("Port opened again", std::to_string(record.Reopens) + (record.Reopens == 1 ? " time" : " times"));
    std::string image;
    if (!record.Image) {
        image = Row("Image", "none chosen");
    } else {
        image = Row("Image",
                    HtmlText(record.Image->Name) +
                        (record.Image->StandIn ? ", <b>stand-in</b> (a generated test image, not for a real panel)"
                                               : ", real")) +
                Row("SHA-256", "<span class=\"mono\">" + HtmlText(record.Image->Sha256, 64) + "</span>");
    }
    return "<div class=\"columns\">\n<div><h2>Run</h2>\n<table class=\"facts\">\n" + run +
           "</table></div>\n<div><h2>Panel</h2>\n<table class=\"facts\">\n" + panel +
           "</table></div>\n</div>\n<h2>Firmware image</h2>\n<table class=\"facts\">\n" + image + "</table>\n";
}

std::string FailuresText(const std::vector<FailureCount>& failures)
{
    std::string text;
    for (std::size_t i = 0; i < failures.size() && i < kMostKindsShown; ++i) {
        const FailureCount& failure = failures[i];
        if (!text.empty())
            text += "; ";
        text += HtmlText(failure.Kind, 24) + " &times;" + std::to_string(failure.Count);
        if (!failure.LastText.empty())
            text += ": " + HtmlText(failure.LastText, 60);
    }
    if (failures.size() > kMostKindsShown)
        text += "; " + std::to_string(failures.size() - kMostKindsShown) + " more kinds";
    return text.empty() ? "-" : text;
}

std::string PhasesSection(const RunRecord& record)
{
    std::string html = "<h2>Phases</h2>\n";
    if (record.Phases.empty())
        return html +
               "<p class=\"note\">This record keeps no phase times: it was written by an earlier version, "
               "or the run ended before its first phase.</p>\n";
    html +=
        "<table class=\"phases\">\n<colgroup><col style=\"width: 35mm\"><col style=\"width: 18mm\">"
        "<col style=\"width: 20mm\"><col style=\"width: 17mm\"><col style=\"width: 17mm\"><col></colgroup>\n"
        "<tr><th>Phase</th><th class=\"num\">Start</th><th class=\"num\">Duration</th>"
        "<th class=\"num\">Failed attempts</th><th class=\"num\">Adapter back</th><th>Failures (last words)</th>"
        "</tr>\n";
    const std::size_t shown = std::min(record.Phases.size(), kMostPhasesShown);
    for (std::size_t i = 0; i < shown; ++i) {
        const PhaseRecord& phase = record.Phases[i];
        html += "<tr><td>" + HtmlText(PhaseTitle(phase.Name), 24) + "</td><td class=\"num\">" +
                Lasting(phase.Start) + "</td><td class=\"num\">" + Lasting(phase.End - phase.Start) +
                "</td><td class=\"num\">" + std::to_string(phase.FailedAt.size()) + "</td><td class=\"num\">" +
                std::to_string(phase.ReconnectedAt.size()) + "</td><td><div class=\"clip\">" +
                FailuresText(phase.Failures) + "</div></td></tr>\n";
    }
    html += "</table>\n";
    if (record.Phases.size() > shown)
        html +=
            "<p class=\"note\">" + std::to_string(record.Phases.size() - shown) + " more phases not shown.</p>\n";
    const double lasted = std::chrono::duration<double>(record.End - record.Start).count();
    return html + PhaseTimelineSvg(record.Phases, lasted) + "\n";
}

}  // namespace

std::string RunReportHtml(const RunRecord& record)
{
    const RunVerdict verdict = VerdictOf(record);
    const std::string head =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Update report " +
        ReadableUtc(record.Start) + " UTC, " + HtmlText(record.Port, 60) + "</title>\n<style>" + kStyle +
        "</style>\n</head>\n";
    const std::string top =
        "<h1>Firmware update report</h1>\n<p class=\"sub\">Varnox fire-alarm control panel &middot; " +
        HtmlText(record.Program, 30) + " " + HtmlText(record.Version, 30) + "</p>\n" + "<div class=\"verdict " +
        ColourClass(verdict.Colour) + "\"><span>" + HtmlText(verdict.Text) +
        "</span><span class=\"exit\">exit status " + std::to_string(record.ExitStatus) + "</span></div>\n";
    const std::string signature =
        "<div class=\"signature\"><div>Technician (name)</div><div>Signature</div><div>Date</div></div>\n";
    return head + "<body>\n" + top + FactsSections(record) + PhasesSection(record) + signature +
           "</body>\n</html>\n";
}

}  // namespace varnox
