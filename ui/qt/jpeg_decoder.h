#pragma once
// Decodes a JPEG held in memory to 8-bit RGB with libjpeg. Corrupt, truncated
// or oversized input is refused with a reason; it never ends the program.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varnox {

struct DecodedImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Rgb;  // Width * Height * 3 bytes, rows top to bottom
};

struct JpegDecodeResult {
    DecodedImage Image;
    std::string Error;  // empty on success
    bool Ok() const { return Error.empty(); }
};

// Pictures larger than this many pixels are refused rather than allocated.
inline constexpr long kMaxJpegPixels = 16L * 1024 * 1024;

JpegDecodeResult DecodeJpeg(std::span<const uint8_t> data);

}  // namespace varnox
