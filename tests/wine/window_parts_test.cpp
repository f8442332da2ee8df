// Parts of the native window that need no screen, run under Wine: the
// gauge's percentage text, fitting and decoding the logo, the command line
// (the window core's, built for Windows), the choices kept in the registry.

#include <windows.h>

#include <objbase.h>

#include <tuple>

#include <gtest/gtest.h>

#include "core/gauge_percent.h"
#include "ui/core/window_command_line.h"
#include "ui/win32/logo.h"
#include "ui/win32/registry_settings.h"
#include "ui/win32/resource_ids.h"

namespace varnox {
namespace {

TEST(GaugeTextTest, WholePercentTruncated)
{
    EXPECT_EQ(GaugeText(0, 1500), "0%");
    EXPECT_EQ(GaugeText(555, 1500), "37%");  // 37.0
    EXPECT_EQ(GaugeText(14, 1500), "0%");    // 0.93 is still 0
    EXPECT_EQ(GaugeText(1499, 1500), "99%");
    EXPECT_EQ(GaugeText(1500, 1500), "100%");
}

TEST(GaugeTextTest, OutOfRangeValuesStayWithinTheBar)
{
    EXPECT_EQ(GaugePercent(5, 0), 0);  // a maximum of 0 never divides
    EXPECT_EQ(GaugePercent(5, -3), 0);
    EXPECT_EQ(GaugePercent(-1, 100), 0);
    EXPECT_EQ(GaugePercent(250, 100), 100);
    // progress × 100 must not overflow for the largest maximum.
    EXPECT_EQ(GaugePercent(0x7FFFFFFF, 0x7FFFFFFF), 100);
    EXPECT_EQ(GaugePercent(0x7FFFFFFE / 2, 0x7FFFFFFF), 49);
}

TEST(LogoFitTest, ShrinksProportionallyAndNeverEnlarges)
{
    // The carried logo into Image1's 105 x 86: the width decides.
    EXPECT_EQ(FitInside({168, 136}, {105, 86}).Width, 105);
    EXPECT_EQ(FitInside({168, 136}, {105, 86}).Height, 85);
    // A tall picture: the height decides.
    EXPECT_EQ(FitInside({100, 400}, {105, 86}).Width, 21);
    EXPECT_EQ(FitInside({100, 400}, {105, 86}).Height, 86);
    // A picture that fits keeps its size.
    EXPECT_EQ(FitInside({50, 40}, {105, 86}).Width, 50);
    EXPECT_EQ(FitInside({50, 40}, {105, 86}).Height, 40);
    EXPECT_EQ(FitInside({0, 40}, {105, 86}).Width, 0);
}

class LogoDecodeTest : public ::testing::Test {
protected:
    void SetUp() override { com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override
    {
        if (com_)
            CoUninitialize();
    }
    bool com_ = false;
};

TEST_F(LogoDecodeTest, TheCarriedLogoDecodesToTheFittedSizeAtTheScreensDpi)
{
    const void* bytes = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(ResourceBytes(VARNOX_LOGO_JPEG, bytes, size));
    // 168 x 136 into 105 x 86; at 192 dpi larger than the JPEG itself.
    for (const auto& [dpi, width, height] : {std::tuple{96, 105, 85}, {144, 158, 128}, {192, 210, 170}}) {
        std::string error;
        const HBITMAP logo = DecodeJpeg(bytes, size, {105, 86}, dpi, error);
        ASSERT_NE(logo, nullptr) << error;
        BITMAP shape{};
        GetObjectW(logo, sizeof shape, &shape);
        EXPECT_EQ(shape.bmWidth, width) << dpi;
        EXPECT_EQ(shape.bmHeight, height) << dpi;
        EXPECT_EQ(shape.bmBitsPixel, 32) << dpi;
        DeleteObject(logo);
    }
}

TEST_F(LogoDecodeTest, DamagedDataGivesAReasonNotAPicture)
{
    const unsigned char not_a_jpeg[] = {0xFF, 0xD8, 0xFF, 0x00, 0x12, 0x34};
    std::string error;
    EXPECT_EQ(DecodeJpeg(not_a_jpeg, sizeof not_a_jpeg, {105, 86}, 96, error), nullptr);
    EXPECT_NE(error.find("the logo cannot be decoded"), std::string::npos) << error;
    const void* bytes = nullptr;
    std::size_t size = 0;
    EXPECT_FALSE(ResourceBytes(999, bytes, size));
}

TEST(WindowCommandLineTest, MapsMenuItemsToDevices)
{
    const WindowCommandLine none = ParseWindowCommandLine({});
    EXPECT_EQ(none.What, WindowCommandLine::Action::OpenWindow);
    EXPECT_TRUE(none.Ports.empty());

    const WindowCommandLine mapped = ParseWindowCommandLine({"COM1=\\\\.\\COM12", "com8=\\\\.\\COM3"});
    ASSERT_EQ(mapped.What, WindowCommandLine::Action::OpenWindow) << mapped.Error;
    ASSERT_EQ(mapped.Ports.size(), 2u);
    EXPECT_EQ(mapped.Ports[0].Port, 1);
    EXPECT_EQ(mapped.Ports[0].Path, "\\\\.\\COM12");
    EXPECT_EQ(mapped.Ports[1].Port, 8);
    EXPECT_EQ(mapped.Ports[1].Path, "\\\\.\\COM3");
}

TEST(WindowCommandLineTest, RefusesWhatItCannotMean)
{
    EXPECT_EQ(ParseWindowCommandLine({"COM9=\\\\.\\COM1"}).Error, "COM9 is not in the port menu (COM1 to COM8)");
    EXPECT_EQ(ParseWindowCommandLine({"COM0=x"}).Error, "unknown argument 'COM0=x'");
    EXPECT_EQ(ParseWindowCommandLine({"COM3"}).Error, "unknown argument 'COM3'");
    EXPECT_EQ(ParseWindowCommandLine({"COM3="}).Error, "no device given for COM3");
    EXPECT_EQ(ParseWindowCommandLine({"COM3=a", "COM3=b"}).Error, "COM3 is mapped twice");
}

TEST(WindowCommandLineTest, TheUsageNamesTheWindowsPortsAndTheVersion)
{
    const std::string usage = WindowUsageText("varnox-patch");
    EXPECT_NE(usage.find("COM1=\\\\.\\COM12"), std::string::npos) << usage;
    EXPECT_NE(usage.find("--version"), std::string::npos) << usage;
    EXPECT_EQ(usage.find("/dev/"), std::string::npos) << usage;
}

TEST(RegistrySettingsTest, KeepsTheChoicesAndIgnoresWhatItDidNotWrite)
{
    const std::wstring key = L"Software\\varnox-patch-test";
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    RegistrySettings store(key);
    const WindowSettings defaults = store.Load();
    EXPECT_FALSE(defaults.Fast);
    EXPECT_TRUE(defaults.KeepRecord);

    store.Save({.Fast = true,
                .VerifyEeprom = true,
                .KeepRecord = false,
                .TracePath = "C:\\traces\\tr\u00e0ccia.txt",
                .Technician = "Jos\u00e9 N\u00fa\u00f1ez"});
    WindowSettings kept = store.Load();
    EXPECT_TRUE(kept.Fast);
    EXPECT_TRUE(kept.VerifyEeprom);
    EXPECT_FALSE(kept.KeepRecord);
    EXPECT_EQ(kept.TracePath, "C:\\traces\\tr\u00e0ccia.txt");
    EXPECT_EQ(kept.Technician, "Jos\u00e9 N\u00fa\u00f1ez");

    // A value of another type, or a string stored without its terminator, as
    // another tool may leave them.
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &raw), ERROR_SUCCESS);
    RegSetValueExW(raw, L"FastUpdate", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"0"), 4);
    RegSetValueExW(raw, L"Technician", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Ann"), 6);
    RegCloseKey(raw);
    kept = store.Load();
    EXPECT_FALSE(kept.Fast);
    EXPECT_EQ(kept.Technician, "Ann");
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace
}  // namespace varnox
