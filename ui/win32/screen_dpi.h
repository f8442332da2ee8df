#pragma once
// The dpi of screens and windows, and window frames at a given dpi, with
// the functions each Windows release has: per-monitor dpi since 8.1, per
// window since 10 (1607); older ones have one dpi for the whole system.

#include <windows.h>

namespace varnox {

// The dpi of `monitor`; the system's on Windows before 8.1.
int MonitorDpi(HMONITOR monitor);

// The dpi `window` is drawn at.
int WindowDpi(HWND window);

// The frame of a window whose client area is `client`, at `dpi`.
RECT FrameAround(RECT client, DWORD style, bool menu, DWORD ex_style, int dpi);

}  // namespace varnox
