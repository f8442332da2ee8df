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

// Local times in a zone of its own, so that they differ from UTC.
class RunReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* tz = std::getenv("TZ"))
            saved_ = tz;
        ::setenv("TZ", "CET-1", 1);
        ::tzset();
    }
    void TearDown() override
    {
        saved_ ? ::setenv("TZ", saved_->c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> saved_;
};

TEST_F(RunReport, WholeRunShowsEveryFieldEachPhaseAndNothingExternal)
{
    const std::string html = RunReportHtml(test::CompletedRunWithPhases());
    for (const char* expected : {
             "varnox-patch-cli 2.04",
             "2025-03-14 10:26:53 (UTC+01:00)<br>2025-03-14 09:26:53 UTC",
             "2025-03-14 10:33:01 (UTC+01:00)<br>2025-03-14 09:33:01 UTC",
             "6 min 08 s",
             "Giulia Bianchi",
             "COM1",
             "/dev/ttyUSB0 0403:6001 FT232R A50285BI",
             "00 00 00 1F 03 02",
             "FWKA1AVRXGAA0I_2x04",
             "00 00 00 20 03 02",
             "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08",
             "<b>stand-in</b>",
             "EEPROM 2, handshake 0, microKernel 1, flash 3",
             // A phase: its start, duration, failed attempts, reconnections and failures by kind.
             "<td>EEPROM</td><td class=\"num\">1.2 s</td><td class=\"num\">1 min 34 s</td><td class=\"num\">3</td>"
             "<td class=\"num\">1</td>",
             "no-answer &times;2: no answer within 2000 ms; gone &times;1: read: No such device",
             "<td>Check after restart</td>",
             "<div class=\"verdict green\"><span>AGGIORNATA E VERIFICATA , UPDATED AND VERIFIED</span>"
             "<span class=\"exit\">exit status 0</span>",
             "@page { size: A4;",
         })
        EXPECT_NE(html.find(expected), std::string::npos) << expected;
    // One bar per phase; a cross per failed attempt and a ring per return, each with one more in the legend.
    EXPECT_EQ(Count(html, "<rect class=\"bar\""), 6u);
    EXPECT_EQ(Count(html, "<path class=\"failed\""), 7u + 1);
    EXPECT_EQ(Count(html, "<circle class=\"back\""), 1u + 1);
    for (const char* external : {"<script", "src=", "href=", "url(", "http", "@import"})
        EXPECT_EQ(html.find(external), std::string::npos) << external;
}

TEST_F(RunReport, RecordTextsAreEscapedCutShortAndFreeOfControls)
{
    RunRecord odd = test::CompletedRunWithPhases();
    const std::string text = "<script>alert('x')</script>&\"\x01";
    for (std::string* field : {&odd.Technician, &odd.Port, &odd.Phases[1].Failures[0].LastText})
        *field = text;
    odd.Adapter = odd.FirmwareBefore = text;
    odd.Image->Name = text;
    odd.Phases[2].Name = text;
    odd.Version = std::string(5000, 'x') + "\xC3\xA9";
    const std::string html = RunReportHtml(odd);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find('\x01'), std::string::npos);
    const std::string escaped = "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;\xEF\xBF\xBD";
    // The title, technician, port, adapter, firmware, image and failure whole; the phase's name cut short
    // in its table and timeline.
    EXPECT_EQ(Count(html, escaped), 7u);
    EXPECT_EQ(Count(html, "&lt;script&gt;alert(&#39;x"), 9u);
    EXPECT_LT(html.size(), 16000u);  // the long version, cut short
    EXPECT_EQ(html.find("\xC3\xA9"), std::string::npos);
}

TEST_F(RunReport, LineOfAnEarlierVersionShowsWhatItHolds)
{
    const std::string html = RunReportHtml(test::IdentityReadFailedRun());
    for (const char* expected :
         {"/dev/ttyS0", "Technician</th><td><div class=\"clip\">not recorded",
          "Identity before</th><td><div class=\"clip\">not read", "none chosen", "identity-read-failed",
          "keeps no phase times", "verdict grey\"><span>CENTRALE NON MODIFICATA , PANEL UNCHANGED"})
        EXPECT_NE(html.find(expected), std::string::npos) << expected;
    EXPECT_EQ(html.find("<svg"), std::string::npos);
}

TEST(RunVerdict, StoppedRunChangedThePanelOnceItWroteToIt)
{
    const std::vector<PhaseRecord> identity = {{"identity", 0, 1, {}, {}, {}}};
    std::vector<PhaseRecord> written = identity;
    written.push_back({"eeprom", 1, 2, {}, {}, {}});
    const RecordedImage image{"FWKA1AVRXGAA0I_2x04", "00", false};
    struct Case {
        int ExitStatus;
        std::vector<PhaseRecord> Phases;
        std::optional<RecordedImage> Image;
        VerdictColour Colour;
    };
    for (const Case& c : std::vector<Case>{
             {0, written, image, VerdictColour::Green},
             {4, written, image, VerdictColour::Amber},
             {3, written, image, VerdictColour::Red},
             {1, identity, image, VerdictColour::Grey},
             {130, written, image, VerdictColour::Red},
             {143, identity, image, VerdictColour::Grey},
             // Lines of an earlier version keep no phases: a chosen image may have been written.
             {143, {}, image, VerdictColour::Red},
             {130, {}, std::nullopt, VerdictColour::Grey},
         }) {
        RunRecord run;
        run.ExitStatus = c.ExitStatus;
        run.Phases = c.Phases;
        run.Image = c.Image;
        EXPECT_EQ(VerdictOf(run).Colour, c.Colour) << c.ExitStatus << " " << c.Phases.size();
    }
    EXPECT_STREQ(VerdictOf(130, true).Text,
                 "CENTRALE MODIFICATA: RIPETERE L'AGGIORNAMENTO , PANEL CHANGED: UPDATE AGAIN");
    EXPECT_STREQ(VerdictOf(130, false).Text, "CENTRALE NON MODIFICATA , PANEL UNCHANGED");
}

}  // namespace
}  // namespace varnox
