#include "ui/qt/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace varnox {
namespace {

// libjpeg's default error handler calls exit(); ours jumps back to the
// decoder with the library's own text instead.
struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Text[JMSG_LENGTH_MAX];
};

[[noreturn]] void FailDecode(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->Text);
    std::longjmp(manager->Jump, 1);
}

// libjpeg only warns about premature end of data and corrupt segments, and
// then pads the picture with grey; a half-drawn logo is a failure here.
void WarnIsFailure(j_common_ptr cinfo, int level)
{
    if (level < 0)
        FailDecode(cinfo);
}

// Kept free of C++ objects with destructors: longjmp must not skip any.
bool DecodeInto(jpeg_decompress_struct& cinfo, ErrorManager& errors, const uint8_t* data, unsigned long size,
                DecodedImage& out)
{
    cinfo.err = jpeg_std_error(&errors.Base);
    errors.Base.error_exit = FailDecode;
    errors.Base.emit_message = WarnIsFailure;
    if (setjmp(errors.Jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);

    const long pixels = static_cast<long>(cinfo.output_width) * cinfo.output_height;
    if (cinfo.output_components != 3 || pixels <= 0 || pixels > kMaxJpegPixels) {
        std::snprintf(errors.Text, sizeof errors.Text, "unsupported picture: %ux%u, %d components",
                      cinfo.output_width, cinfo.output_height, cinfo.output_components);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    out.Width = static_cast<int>(cinfo.output_width);
    out.Height = static_cast<int>(cinfo.output_height);
    out.Rgb.resize(static_cast<std::size_t>(pixels) * 3);

    const std::size_t stride = static_cast<std::size_t>(out.Width) * 3;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.Rgb.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

JpegDecodeResult DecodeJpeg(std::span<const uint8_t> data)
{
    JpegDecodeResult result;
    if (data.empty()) {
        result.Error = "no JPEG data";
        return result;
    }
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    if (!DecodeInto(cinfo, errors, data.data(), static_cast<unsigned long>(data.size()), result.Image)) {
        result.Error = errors.Text[0] != '\0' ? errors.Text : "JPEG decoding failed";
        result.Image = DecodedImage{};
    }
    return result;
}

}  // namespace varnox
