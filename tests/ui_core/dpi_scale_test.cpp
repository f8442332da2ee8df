// The layout scaled to a screen's dpi: 96 dpi keeps every pixel, other dpis
// round as MulDiv does and keep the controls inside their parents.

#include <gtest/gtest.h>

#include "ui/core/dpi_scale.h"

namespace varnox {
namespace {

constexpr int kDpis[] = {96, 120, 144, 168, 192, 240, 288};

TEST(DpiScaleTest, RoundsHalvesAwayFromZeroAsMulDiv)
{
    EXPECT_EQ(ScaleToDpi(633, 144), 950);  // 949.5
    EXPECT_EQ(ScaleToDpi(362, 144), 543);
    EXPECT_EQ(ScaleToDpi(1, 144), 2);    // 1.5
    EXPECT_EQ(ScaleToDpi(1, 120), 1);    // 1.25
    EXPECT_EQ(ScaleToDpi(11, 120), 14);  // 13.75
    EXPECT_EQ(ScaleToDpi(0, 192), 0);
    // Font heights in em (negative) round as their magnitude does.
    EXPECT_EQ(ScaleToDpi(-11, 144), -17);  // -16.5
    EXPECT_EQ(ScaleToDpi(-13, 144), -20);  // -19.5
    EXPECT_EQ(ScaleToDpi(-11, 120), -14);
    // The product may exceed an int; the result does not.
    EXPECT_EQ(ScaleToDpi(1000000000, 192), 2000000000);
}

TEST(DpiScaleTest, At96DpiEveryPlaceKeepsItsPixels)
{
    for (int value : {-13, -11, -1, 0, 1, 8, 105, 337, 633})
        EXPECT_EQ(ScaleToDpi(value, kDesignDpi), value);
    for (const ControlPlace& place : kControlPlaces) {
        const ScreenRect scaled = PlaceAtDpi(place, kDesignDpi);
        EXPECT_EQ(scaled.Left, place.Left) << place.Name;
        EXPECT_EQ(scaled.Top, place.Top) << place.Name;
        EXPECT_EQ(scaled.Width, place.Width) << place.Name;
        EXPECT_EQ(scaled.Height, place.Height) << place.Name;
    }
}

TEST(DpiScaleTest, EdgesScaleSoThatNeighboursStillMeet)
{
    // Two rectangles that meet at x = 1: widths 1 and 2 become 2 and 2 at
    // 144 dpi (edges 0, 1.5, 4.5), not 2 and 3.
    const ScreenRect first = ScaleRect({0, 0, 1, 1}, 144);
    const ScreenRect second = ScaleRect({1, 0, 3, 1}, 144);
    EXPECT_EQ(first.Left + first.Width, second.Left);
    EXPECT_EQ(second.Width, 4);
    EXPECT_EQ(ScaleRect({1, 1, 1, 1}, 144).Width, 1);  // edges 1.5 and 3

    // The gauge stays flush with the client area's bottom and right edges.
    const ControlPlace& gauge = PlaceOf(kGauge1);
    for (int dpi : kDpis) {
        const ScreenRect scaled = PlaceAtDpi(gauge, dpi);
        EXPECT_EQ(scaled.Top + scaled.Height, ScaleToDpi(kClientHeight, dpi)) << dpi;
        EXPECT_EQ(scaled.Left + scaled.Width, ScaleToDpi(kClientWidth, dpi)) << dpi;
    }
}

TEST(DpiScaleTest, EveryControlStaysInsideItsParentAtEveryDpi)
{
    const ControlPlace& box = PlaceOf(kDebugBox);
    for (int dpi : kDpis) {
        const ScreenRect parent_box = PlaceAtDpi(box, dpi);
        for (const ControlPlace& place : kControlPlaces) {
            const ScreenRect scaled = PlaceAtDpi(place, dpi);
            const int width = place.InInfoBox ? parent_box.Width : ScaleToDpi(kClientWidth, dpi);
            const int height = place.InInfoBox ? parent_box.Height : ScaleToDpi(kClientHeight, dpi);
            EXPECT_GE(scaled.Left, 0) << place.Name << " at " << dpi;
            EXPECT_GE(scaled.Top, 0) << place.Name << " at " << dpi;
            EXPECT_LE(scaled.Left + scaled.Width, width) << place.Name << " at " << dpi;
            EXPECT_LE(scaled.Top + scaled.Height, height) << place.Name << " at " << dpi;
            // Natural sizes stay for the text to decide.
            EXPECT_EQ(scaled.Width == 0, place.Width == 0) << place.Name << " at " << dpi;
        }
    }
}

TEST(DpiScaleTest, TheWindowOpensAtItsScaledPlace)
{
    // A 150 % screen of 2880 x 1620: the designed place is 1.5 times as far.
    const ScreenRect frame = PlaceFrame(960, 600, {0, 0, 2880, 1620}, 144);
    EXPECT_EQ(frame.Left, 1016);  // 1015.5
    EXPECT_EQ(frame.Top, 236);    // 235.5
    // Still kept inside a screen that is too small for it there.
    EXPECT_EQ(PlaceFrame(960, 600, {0, 0, 1600, 900}, 144).Left, 640);
}

TEST(DpiScaleTest, TheLogoGrowsWithTheScreenBeyondThePicturesOwnSize)
{
    const PictureSize fitted = FitInside({168, 136}, {kLogoWidth, kLogoHeight});
    const auto at = [&fitted](int dpi) {
        const PictureSize size = ScaleSize(fitted, dpi);
        return std::pair{size.Width, size.Height};
    };
    EXPECT_EQ(at(96), std::pair(105, 85));
    EXPECT_EQ(at(144), std::pair(158, 128));
    // Denser than the JPEG itself (168 x 136): the picture is enlarged.
    EXPECT_EQ(at(192), std::pair(210, 170));
}

}  // namespace
}  // namespace varnox
