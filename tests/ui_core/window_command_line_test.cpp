// The window's command line, its answers before a window opens, and the
// arithmetic both windows share: where the window opens, the logo's size,
// the gauge's percentage.

#include <gtest/gtest.h>

#include "core/gauge_percent.h"
#include "firmware/image_provenance.h"
#include "ui/core/window_command_line.h"
#include "ui/core/window_placement.h"

namespace varnox {
namespace {

TEST(WindowCommandLineTest, MapsMenuItemsToDevices)
{
    const WindowCommandLine none = ParseWindowCommandLine({});
    EXPECT_EQ(none.What, WindowCommandLine::Action::OpenWindow);
    EXPECT_TRUE(none.Ports.empty());

    const WindowCommandLine two = ParseWindowCommandLine({"COM1=/dev/pts/7", "com8=\\\\.\\COM12"});
    ASSERT_EQ(two.What, WindowCommandLine::Action::OpenWindow) << two.Error;
    ASSERT_EQ(two.Ports.size(), 2u);
    EXPECT_EQ(two.Ports[0].Port, 1);
    EXPECT_EQ(two.Ports[0].Path, "/dev/pts/7");
    EXPECT_EQ(two.Ports[1].Port, 8);
    EXPECT_EQ(two.Ports[1].Path, "\\\\.\\COM12");
}

TEST(WindowCommandLineTest, TakesTheRunOptions)
{
    const WindowCommandLine line =
        ParseWindowCommandLine({"--verify-eeprom", "COM1=/dev/pts/7", "--fast", "--trace=/tmp/field trace.txt"});
    ASSERT_EQ(line.What, WindowCommandLine::Action::OpenWindow) << line.Error;
    EXPECT_TRUE(line.Run.Fast);
    EXPECT_TRUE(line.Run.VerifyEeprom);
    EXPECT_EQ(line.Run.TraceFile, "/tmp/field trace.txt");
    EXPECT_EQ(ParseWindowCommandLine({"--trace"}).Error, "--trace needs a FILE");
    EXPECT_FALSE(ParseWindowCommandLine({}).Run.ReadsEepromBack());
    EXPECT_EQ(ParseWindowCommandLine({"--verify-eeprom=yes"}).What, WindowCommandLine::Action::UsageError);
    const std::string usage = WindowUsageText("varnox-patch");
    EXPECT_NE(usage.find(RunOptionsHelp()), std::string::npos);
    EXPECT_NE(usage.find("--fast"), std::string::npos);
}

TEST(WindowCommandLineTest, RefusesWhatItCannotMean)
{
    const auto error = [](std::vector<std::string> args) {
        const WindowCommandLine line = ParseWindowCommandLine(args);
        return line.What == WindowCommandLine::Action::UsageError ? line.Error : "(accepted)";
    };
    EXPECT_EQ(error({"COM9=/dev/x"}), "COM9 is not in the port menu (COM1 to COM8)");
    EXPECT_EQ(error({"COM0=/dev/x"}), "unknown argument 'COM0=/dev/x'");
    EXPECT_EQ(error({"COM1"}), "unknown argument 'COM1'");
    EXPECT_EQ(error({"COM1="}), "no device given for COM1");
    EXPECT_EQ(error({"COM2=/a", "COM2=/b"}), "COM2 is mapped twice");
    for (const char* bad : {"/dev/ttyS0", "-x", "--versions", "LPT1=/dev/x", ""})
        EXPECT_NE(error({bad}), "(accepted)") << bad;
    // A bad argument counts whatever else is asked for.
    EXPECT_NE(error({"--version", "COM9=/dev/x"}), "(accepted)");
}

TEST(WindowCommandLineTest, AnswersHelpVersionAndBadArgumentsBeforeAnyWindow)
{
    const StartupAnswer help = AnswerWindowCommandLine(ParseWindowCommandLine({"-h"}), "varnox-patch");
    EXPECT_EQ(help.ExitStatus, 0);
    EXPECT_EQ(help.Out, WindowUsageText("varnox-patch"));
    EXPECT_TRUE(help.Err.empty());
    EXPECT_EQ(AnswerWindowCommandLine(ParseWindowCommandLine({"--help", "--version"}), "varnox-patch").Out,
              help.Out);

    const StartupAnswer version = AnswerWindowCommandLine(ParseWindowCommandLine({"--version"}), "varnox-patch");
    EXPECT_EQ(version.ExitStatus, 0);
    EXPECT_EQ(version.Out, VersionText("varnox-patch"));
    EXPECT_TRUE(version.Err.empty());

    const StartupAnswer bad = AnswerWindowCommandLine(ParseWindowCommandLine({"COM9=/dev/x"}), "varnox-patch");
    EXPECT_EQ(bad.ExitStatus, 2);
    EXPECT_TRUE(bad.Out.empty());
    EXPECT_EQ(bad.Err,
              "varnox-patch: COM9 is not in the port menu (COM1 to COM8)\n" + WindowUsageText("varnox-patch"));

    EXPECT_EQ(AnswerWindowCommandLine(ParseWindowCommandLine({"COM2=/dev/x"}), "varnox-patch").ExitStatus, -1);

    const std::string usage = WindowUsageText("varnox-patch");
    for (const char* part : {"COMn=DEVICE", "--help", "--version", "n = 1..8", "COM1=/dev/ttyUSB0"})
        EXPECT_NE(usage.find(part), std::string::npos) << part;
}

TEST(WindowPlacementTest, TheWindowOpensAtItsPlaceOrAsNearAsTheScreenAllows)
{
    const auto at = [](int width, int height, ScreenRect area) {
        const ScreenRect frame = PlaceFrame(width, height, area);
        EXPECT_EQ(frame.Width, width);
        EXPECT_EQ(frame.Height, height);
        return std::pair{frame.Left, frame.Top};
    };
    EXPECT_EQ(at(650, 420, {0, 0, 1920, 1080}), std::pair(677, 157));
    EXPECT_EQ(at(650, 420, {0, 0, 800, 600}), std::pair(150, 157));
    EXPECT_EQ(at(650, 500, {0, 0, 800, 600}), std::pair(150, 100));
    // Larger than the screen: its top-left corner stays visible.
    EXPECT_EQ(at(1000, 700, {0, 0, 800, 600}), std::pair(0, 0));
    // A second screen to the right, below a panel.
    EXPECT_EQ(at(650, 420, {1920, 30, 1280, 994}), std::pair(1920, 157));
}

TEST(WindowPlacementTest, TheLogoShrinksProportionallyAndNeverGrows)
{
    const auto fit = [](PictureSize picture) {
        const PictureSize size = FitInside(picture, {105, 86});
        return std::pair{size.Width, size.Height};
    };
    EXPECT_EQ(fit({168, 136}), std::pair(105, 85));  // the carried logo: the width decides
    EXPECT_EQ(fit({100, 400}), std::pair(21, 86));
    EXPECT_EQ(fit({50, 40}), std::pair(50, 40));
    EXPECT_EQ(fit({1000, 1}), std::pair(105, 1));  // never thinner than a pixel
    EXPECT_EQ(fit({0, 40}), std::pair(0, 0));
}

TEST(GaugePercentTest, WholePercentTruncatedAndHeldWithinTheBar)
{
    EXPECT_EQ(GaugeText(999, 1500), "66%");  // truncated, not rounded
    EXPECT_EQ(GaugeText(0x13F80, 81919), "99%");
    EXPECT_EQ(GaugeText(81919, 81919), "100%");
    EXPECT_EQ(GaugePercent(5, 0), 0);
    EXPECT_EQ(GaugePercent(-5, 1500), 0);
    EXPECT_EQ(GaugePercent(2000, 1500), 100);
    EXPECT_EQ(GaugePercent(0x7FFFFFFF, 0x7FFFFFFF), 100);  // no overflow
}

}  // namespace
}  // namespace varnox
