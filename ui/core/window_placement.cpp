#include "ui/core/window_placement.h"

#include <algorithm>

#include "ui/core/dpi_scale.h"

namespace varnox {

ScreenRect PlaceFrame(int width, int height, const ScreenRect& area, int dpi)
{
    const int right_most = area.Left + area.Width - width;
    const int bottom_most = area.Top + area.Height - height;
    const int left = std::max(area.Left, std::min(ScaleToDpi(kFormLeft, dpi), right_most));
    const int top = std::max(area.Top, std::min(ScaleToDpi(kFormTop, dpi), bottom_most));
    return {left, top, width, height};
}

PictureSize FitInside(PictureSize picture, PictureSize box)
{
    if (picture.Width <= 0 || picture.Height <= 0)
        return {0, 0};
    if (picture.Width <= box.Width && picture.Height <= box.Height)
        return picture;
    // Whichever side is the tighter fit decides the scale.
    if (static_cast<long long>(box.Width) * picture.Height <= static_cast<long long>(box.Height) * picture.Width) {
        const int height = static_cast<int>(static_cast<long long>(picture.Height) * box.Width / picture.Width);
        return {box.Width, std::max(height, 1)};
    }
    const int width = static_cast<int>(static_cast<long long>(picture.Width) * box.Height / picture.Height);
    return {std::max(width, 1), box.Height};
}

}  // namespace varnox
