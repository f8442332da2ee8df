#pragma once
// Image1's picture: the JPEG logo carried as a resource, decoded with WIC
// (Windows Imaging Component) and shrunk proportionally to fit its area.

#include <windows.h>

#include <cstddef>
#include <string>

#include "ui/core/window_placement.h"

namespace varnox {

// A 32-bit bitmap of the JPEG `bytes`, fitted into `box`, or null with
// `error` set. COM must be initialised on the calling thread.
HBITMAP DecodeJpeg(const void* bytes, std::size_t size, PictureSize box, std::string& error);

// The bytes of RCDATA resource `id` of this program; false when missing.
bool ResourceBytes(int id, const void*& bytes, std::size_t& size);

}  // namespace varnox
