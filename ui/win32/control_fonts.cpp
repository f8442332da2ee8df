#include "ui/win32/control_fonts.h"

#include "ui/core/dpi_scale.h"

namespace varnox {

namespace {

// The designed font: MS Sans Serif, 8 pt (11 pixels at 96 dpi).
constexpr const wchar_t* kDialogFace = L"MS Sans Serif";
constexpr int kDialogHeight = -11;
constexpr int kLogHeight = -13;  // 10 pt

}  // namespace

HFONT MakeControlFont(ControlFont font, int dpi)
{
    const bool log = font == ControlFont::Log;
    const int height = ScaleToDpi(log ? kLogHeight : kDialogHeight, dpi);
    const int weight = log || font == ControlFont::Bold ? FW_BOLD : FW_NORMAL;
    const BOOL italic = font == ControlFont::Italic ? TRUE : FALSE;
    return CreateFontW(height, 0, 0, 0, weight, italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, kDialogFace);
}

}  // namespace varnox
