#include "ui/core/dpi_scale.h"

namespace varnox {

int ScaleToDpi(int value, int dpi)
{
    const long long product = static_cast<long long>(value) * dpi;
    const long long magnitude = ((product < 0 ? -product : product) + kDesignDpi / 2) / kDesignDpi;
    return static_cast<int>(product < 0 ? -magnitude : magnitude);
}

ScreenRect ScaleRect(const ScreenRect& rect, int dpi)
{
    const int left = ScaleToDpi(rect.Left, dpi);
    const int top = ScaleToDpi(rect.Top, dpi);
    return {left, top, ScaleToDpi(rect.Left + rect.Width, dpi) - left,
            ScaleToDpi(rect.Top + rect.Height, dpi) - top};
}

PictureSize ScaleSize(PictureSize size, int dpi)
{
    return {ScaleToDpi(size.Width, dpi), ScaleToDpi(size.Height, dpi)};
}

ScreenRect PlaceAtDpi(const ControlPlace& place, int dpi)
{
    ScreenRect scaled = ScaleRect({place.Left, place.Top, place.Width, place.Height}, dpi);
    if (place.Width == 0)
        scaled.Width = 0;
    if (place.Height == 0)
        scaled.Height = 0;
    return scaled;
}

}  // namespace varnox
