// What the window draws itself: LogoFrame and LogoBevel, the colours of its
// labels and fields, and UpdateButton's caption in the active title bar's colour.

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "ui/core/dpi_scale.h"
#include "ui/win32/main_window.h"

namespace varnox {

namespace {

constexpr COLORREF kFieldTextColour = RGB(0, 0, 0);

// A control's text colour from the layout; `system` for TextColour::System.
COLORREF TextColourOf(TextColour colour, COLORREF system)
{
    switch (colour) {
    case TextColour::System: break;
    case TextColour::Red: return RGB(255, 0, 0);
    case TextColour::Blue: return RGB(0, 0, 255);
    case TextColour::ActiveTitle: return GetSysColor(COLOR_ACTIVECAPTION);
    }
    return system;
}

RECT PlaceRect(ControlId id, int dpi)
{
    const ScreenRect place = PlaceAtDpi(PlaceOf(id), dpi);
    return {place.Left, place.Top, place.Left + place.Width, place.Top + place.Height};
}

// A line of the layout's one pixel is as thick as the dpi makes it: `draw`
// draws each of its pixel-wide rings, from `outside` inwards.
template <typename Draw>
void DrawRings(RECT outside, int thickness, Draw draw)
{
    for (int ring = 0; ring < thickness; ++ring) {
        draw(outside);
        InflateRect(&outside, -1, -1);
    }
}

void FrameBlack(HDC dc, const RECT& outside, int thickness)
{
    DrawRings(outside, thickness,
              [dc](RECT ring) { FrameRect(dc, &ring, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))); });
}

}  // namespace

void MainWindow::PaintFrames(HDC dc) const
{
    const int line = ScaleToDpi(1, dpi_);
    // LogoFrame: white with a 1-pixel black outline.
    const RECT shape = PlaceRect(kShape1, dpi_);
    FillRect(dc, &shape, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameBlack(dc, shape, line);
    // LogoBevel: a lowered box frame around the shape and the logo.
    DrawRings(PlaceRect(kBevel1, dpi_), line, [dc](RECT ring) { DrawEdge(dc, &ring, BDR_SUNKENOUTER, BF_RECT); });
}

LRESULT MainWindow::ControlColours(HDC dc, HWND control, bool edit) const
{
    const ControlPlace& place = PlaceOf(static_cast<ControlId>(GetDlgCtrlID(control)));
    // The log, and the read-only fields: these show their texts on the
    // window colour, as fields do, rather than on the button face of
    // disabled controls.
    const bool field = control == PanelTypeField || control == EepromAddressField ||
                       control == FlashAddressField || control == ErrorCounterField;
    if ((edit && control == Log) || field) {
        SetTextColor(dc, TextColourOf(place.Colour, kFieldTextColour));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    SetTextColor(dc, TextColourOf(place.Colour, GetSysColor(COLOR_BTNTEXT)));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void MainWindow::DrawUpdateButton(const DRAWITEMSTRUCT& item) const
{
    const HDC dc = item.hDC;
    RECT area = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const int line = ScaleToDpi(1, dpi_);
    // The focused button carries the black outline of a default button.
    if (focused) {
        FrameBlack(dc, area, line);
        InflateRect(&area, -line, -line);
    }
    DrawFrameControl(dc, &area, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    wchar_t caption[64] = {};
    GetWindowTextW(item.hwndItem, caption, static_cast<int>(std::size(caption)));
    RECT text = area;
    if (pushed)
        OffsetRect(&text, line, line);
    const HGDIOBJ old_font =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    if (disabled) {
        // Greyed the classic way: a white copy under the grey text.
        OffsetRect(&text, line, line);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextW(dc, caption, -1, &text, format);
        OffsetRect(&text, -line, -line);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(dc, TextColourOf(PlaceOf(kButton5).Colour, GetSysColor(COLOR_BTNTEXT)));
    }
    DrawTextW(dc, caption, -1, &text, format);
    SelectObject(dc, old_font);

    if (focused) {
        RECT focus = area;
        const int inset = ScaleToDpi(4, dpi_);
        InflateRect(&focus, -inset, -inset);
        DrawFocusRect(dc, &focus);
    }
}

LRESULT CALLBACK MainWindow::InfoBoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                         DWORD_PTR form)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_COMMAND: return SendMessageW(reinterpret_cast<MainWindow*>(form)->hwnd_, message, wparam, lparam);
    case WM_ERASEBKGND: {
        // A group box paints only its frame and caption; the window clips
        // its children, so the box fills its own inside.
        RECT inside;
        GetClientRect(box, &inside);
        FillRect(reinterpret_cast<HDC>(wparam), &inside, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    default: return DefSubclassProc(box, message, wparam, lparam);
    }
}

}  // namespace varnox
