#pragma once
// Image1's picture: the JPEG logo carried as a resource, decoded with WIC
// (Windows Imaging Component), shrunk proportionally to fit its area and
// scaled to the screen's dpi, in one resampling from the JPEG's pixels.

#include <windows.h>

#include <cstddef>
#include <string>

#include "ui/core/window_placement.h"

namespace varnox {

// A 32-bit bitmap of the JPEG `bytes`, fitted into `box` (96-dpi pixels)
// and scaled to `dpi`, or null with `error` set. COM must be initialised on
// the calling thread.
HBITMAP DecodeJpeg(const void* bytes, std::size_t size, PictureSize box, int dpi, std::string& error);

// The bytes of RCDATA resource `id` of this program; false when missing.
bool ResourceBytes(int id, const void*& bytes, std::size_t& size);

}  // namespace varnox
