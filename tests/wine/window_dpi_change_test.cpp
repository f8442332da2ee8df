// The window rescaled by WM_DPICHANGED, as when it moves to a screen of
// another dpi: controls, fonts and logo follow the new dpi, the window takes
// the place Windows suggests, and back at 96 dpi every control is where the
// layout puts it. Needs a display: tools/wine_test.sh window-dpi runs it.

#include <windows.h>

#include <objbase.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "ui/core/dpi_scale.h"
#include "ui/win32/main_window.h"

namespace varnox {
namespace {

// No port opens: the start-up probe greys them all, nothing else happens.
class NoPorts final : public PortOpener {
public:
    std::unique_ptr<SerialDevice> OpenPort(int, std::string& reason) override
    {
        reason = "no such port";
        return nullptr;
    }
    std::string DeviceName(int) const override { return "(no device)"; }
};

ScreenRect PlaceIn(HWND control, HWND parent)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

int FontHeight(HWND control)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

class WindowDpiChangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProcessDPIAware();  // as the program's manifest declares
        com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        window_ = std::make_unique<MainWindow>(ports_, clock_);
        ASSERT_TRUE(window_->Create());
    }
    void TearDown() override
    {
        window_.reset();
        if (com_)
            CoUninitialize();
    }

    // What Windows does when the window reaches a screen of `dpi`: it
    // suggests the frame scaled around the same top-left corner.
    RECT ChangeDpi(int from, int dpi)
    {
        RECT frame;
        GetWindowRect(window_->Handle(), &frame);
        const RECT suggested{frame.left, frame.top, frame.left + MulDiv(frame.right - frame.left, dpi, from),
                             frame.top + MulDiv(frame.bottom - frame.top, dpi, from)};
        SendMessageW(window_->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        return suggested;
    }

    NoPorts ports_;
    SteadyClock clock_;
    std::unique_ptr<MainWindow> window_;
    bool com_ = false;
};

TEST_F(WindowDpiChangeTest, ControlsFontsAndLogoFollowTheScreensDpi)
{
    const HWND form = window_->Handle();
    const HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    for (const int next : {192, 120, 96, 144}) {
        const RECT suggested = ChangeDpi(dpi, next);
        dpi = next;
        SCOPED_TRACE("at " + std::to_string(dpi) + " dpi");

        RECT frame;
        GetWindowRect(form, &frame);
        EXPECT_EQ(frame.left, suggested.left);
        EXPECT_EQ(frame.top, suggested.top);
        RECT client;
        GetClientRect(form, &client);
        EXPECT_EQ(client.right, ScaleToDpi(kClientWidth, dpi));
        EXPECT_EQ(client.bottom, ScaleToDpi(kClientHeight, dpi));

        for (const ControlPlace& place : kControlPlaces) {
            const HWND parent = place.InInfoBox ? window_->InfoBox : form;
            const HWND control = GetDlgItem(parent, place.Id);
            // The painted frames are no controls; the labels' texts decide their sizes.
            if (control == nullptr || place.Width == 0)
                continue;
            const ScreenRect want = PlaceAtDpi(place, dpi);
            const ScreenRect got = PlaceIn(control, parent);
            EXPECT_EQ(got.Left, want.Left) << place.Name;
            EXPECT_EQ(got.Top, want.Top) << place.Name;
            // The logo sizes LogoImage; a combo box's list is not in its height.
            if (place.Id == kImage1 || place.Id == kComboBox1)
                continue;
            EXPECT_EQ(got.Width, want.Width) << place.Name;
            EXPECT_EQ(got.Height, want.Height) << place.Name;
        }

        // The logo: 168 x 136 fitted into 105 x 86 is 105 x 85 at 96 dpi.
        BITMAP logo{};
        GetObjectW(reinterpret_cast<HBITMAP>(SendMessageW(window_->LogoImage, STM_GETIMAGE, IMAGE_BITMAP, 0)),
                   sizeof logo, &logo);
        EXPECT_EQ(logo.bmWidth, ScaleToDpi(105, dpi));
        EXPECT_EQ(logo.bmHeight, ScaleToDpi(85, dpi));
        const ScreenRect image = PlaceIn(window_->LogoImage, form);
        EXPECT_EQ(image.Width, logo.bmWidth);

        EXPECT_EQ(FontHeight(window_->UpdateButton), ScaleToDpi(-11, dpi));
        EXPECT_EQ(FontHeight(window_->PanelTypeLabel), ScaleToDpi(-11, dpi));
        EXPECT_EQ(FontHeight(window_->Log), ScaleToDpi(-13, dpi));
        // An auto-sized label is as tall as its font's line.
        EXPECT_GE(PlaceIn(window_->PanelTypeLabel, window_->InfoBox).Height, -ScaleToDpi(-11, dpi));
    }
}

}  // namespace
}  // namespace varnox
