#pragma once
// The fonts of the window's controls (ControlFont in ui/core/form_layout.h)
// at a screen's dpi: the window uses them, and the Wine tests measure its
// texts with them.

#include <windows.h>

#include "ui/core/form_layout.h"

namespace varnox {

// A new font, owned by the caller.
HFONT MakeControlFont(ControlFont font, int dpi);

}  // namespace varnox
