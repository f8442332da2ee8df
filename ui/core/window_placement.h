#pragma once
// Where the window opens and how large its logo is drawn, for both windows.

#include "ui/core/form_layout.h"

namespace varnox {

struct ScreenRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// The window's frame of `width` x `height` at its designed place (kFormLeft,
// kFormTop, scaled to the screen's `dpi`), moved just enough to keep it
// inside the screen's available `area`; a frame larger than the area is put
// at the area's top-left corner.
ScreenRect PlaceFrame(int width, int height, const ScreenRect& area, int dpi = kDesignDpi);

struct PictureSize {
    int Width = 0;
    int Height = 0;
};

// The largest size of the picture's proportions within the box; a picture
// that already fits keeps its size, an empty one gives 0 x 0.
PictureSize FitInside(PictureSize picture, PictureSize box);

}  // namespace varnox
