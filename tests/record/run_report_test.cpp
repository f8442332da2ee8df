#include "record/run_report.h"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "record/run_verdict.h"
#include "tests/record/sample_records.h"

namespace varnox {
namespace {

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (auto at = text.find(part); at != text.npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(RunReport, WholeRunShowsEveryFieldEachPhaseAndNothingExternal)
{
    // Local times in a zone an hour from UTC (nothing else in these tests reads the local time).
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    const std::string html = RunReportHtml(test::CompletedRunWithPhases());
    for (const char* part :
         {"varnox-patch-cli 2.04", "2025-03-14 10:26:53 (UTC+01:00)<br>2025-03-14 09:26:53 UTC",
          "2025-03-14 10:33:01 (UTC+01:00)<br>2025-03-14 09:33:01 UTC", "6 min 08 s", "Giulia Bianchi", "COM1",
          "/dev/ttyUSB0 0403:6001 FT232R A50285BI", "00 00 00 1F 03 02", "FWKA1AVRXGAA0I_2x04",
          "00 00 00 20 03 02", "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08",
          "<b>stand-in</b>", "EEPROM 2, handshake 0, microKernel 1, flash 3", "@page { size: A4;",
          // A phase's start, duration, failed attempts, the adapter's returns and failures by kind.
          "<td>EEPROM</td><td class=\"num\">1.2 s</td><td class=\"num\">1 min 34 s</td>"
          "<td class=\"num\">3</td><td class=\"num\">1</td>",
          "no-answer &times;2: no answer within 2000 ms; gone &times;1: read: No such device",
          "<div class=\"verdict green\"><span>AGGIORNATA E VERIFICATA , UPDATED AND VERIFIED</span>"
          "<span class=\"exit\">exit status 0</span>"})
        EXPECT_NE(html.find(part), std::string::npos) << part;
    // One bar per phase; a cross per failed attempt and a ring per return, and one of each in the legend.
    EXPECT_EQ(Count(html, "<rect class=\"bar\""), 6u);
    EXPECT_EQ(Count(html, "<path class=\"failed\""), 7u + 1);
    EXPECT_EQ(Count(html, "<circle class=\"back\""), 1u + 1);
    for (const char* external : {"<script", "src=", "href=", "url(", "http", "@import"})
        EXPECT_EQ(html.find(external), std::string::npos) << external;
}

TEST(RunReport, RecordTextsAreEscapedCutShortAndFreeOfControls)
{
    RunRecord odd = test::CompletedRunWithPhases();
    const std::string text = "<script>alert('x')</script>&\"\x01";
    odd.Technician = odd.Port = odd.Phases[1].Failures[0].LastText = odd.Image->Name = odd.Phases[2].Name = text;
    odd.Adapter = odd.FirmwareBefore = text;
    odd.Version = std::string(5000, 'x') + "\xC3\xA9";
    const std::string html = RunReportHtml(odd);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find('\x01'), std::string::npos);
    // The title, technician, port, adapter, firmware, image and failure whole; the phase's name cut short
    // in its table and timeline.
    EXPECT_EQ(Count(html, "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;\xEF\xBF\xBD"), 7u);
    EXPECT_EQ(Count(html, "&lt;script&gt;alert(&#39;x"), 9u);
    EXPECT_LT(html.size(), 16000u);  // the long version, cut short
    EXPECT_EQ(html.find("\xC3\xA9"), std::string::npos);
}

TEST(RunReport, LineOfAnEarlierVersionShowsWhatItHolds)
{
    const std::string html = RunReportHtml(test::IdentityReadFailedRun());
    for (const char* part :
         {"/dev/ttyS0", "Technician</th><td><div class=\"clip\">not recorded",
          "Identity before</th><td><div class=\"clip\">not read", "none chosen", "identity-read-failed",
          "keeps no phase times", "verdict grey\"><span>CENTRALE NON MODIFICATA , PANEL UNCHANGED"})
        EXPECT_NE(html.find(part), std::string::npos) << part;
    EXPECT_EQ(html.find("<svg"), std::string::npos);
}

TEST(RunVerdict, StoppedRunChangedThePanelOnceItWroteToIt)
{
    const std::vector<PhaseRecord> read = {{"identity", 0, 1, {}, {}, {}}};
    const std::vector<PhaseRecord> wrote = {read[0], {"eeprom", 1, 2, {}, {}, {}}};
    auto colour = [](int status, const std::vector<PhaseRecord>& phases, bool chose_image) {
        RunRecord run;
        run.ExitStatus = status;
        run.Phases = phases;
        if (chose_image)
            run.Image = RecordedImage{"FWKA1AVRXGAA0I_2x04", "00", false};
        return VerdictOf(run).Colour;
    };
    using enum VerdictColour;
    EXPECT_EQ(colour(0, wrote, true), Green);
    EXPECT_EQ(colour(4, wrote, true), Amber);
    EXPECT_EQ(colour(3, wrote, true), Red);
    EXPECT_EQ(colour(1, read, true), Grey);
    EXPECT_EQ(colour(130, wrote, true), Red);
    EXPECT_EQ(colour(143, read, true), Grey);
    // Lines of an earlier version keep no phases: a chosen image may have been written.
    EXPECT_EQ(colour(143, {}, true), Red);
    EXPECT_EQ(colour(130, {}, false), Grey);
}

}  // namespace
}  // namespace varnox
