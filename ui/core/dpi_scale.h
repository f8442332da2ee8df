#pragma once
// The layout's 96-dpi pixels scaled to a screen's dpi. Rounded as the
// system's MulDiv rounds (halves away from zero), so that 96 dpi keeps every
// pixel, and scaled by edges, so that controls that meet still meet.

#include "ui/core/form_layout.h"
#include "ui/core/window_placement.h"

namespace varnox {

// `value` × `dpi` / 96, rounded; also for negative font heights (the em
// height, as CreateFont takes it), which round as their magnitude does.
int ScaleToDpi(int value, int dpi);

// The rectangle whose edges are `rect`'s edges scaled; its width and height
// may therefore differ by one pixel from the scaled width and height.
ScreenRect ScaleRect(const ScreenRect& rect, int dpi);

PictureSize ScaleSize(PictureSize size, int dpi);

// Where control `place` lies at `dpi` (relative to its parent, as in the
// layout); a width or height of 0 stays 0: the text decides.
ScreenRect PlaceAtDpi(const ControlPlace& place, int dpi);

}  // namespace varnox
