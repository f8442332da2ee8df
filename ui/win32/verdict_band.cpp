#include "ui/win32/verdict_band.h"

#include <commctrl.h>

#include "ui/win32/wide_text.h"

namespace varnox {

namespace {

constexpr UINT_PTR kPaintSubclass = 1;

}  // namespace

COLORREF BandFill(VerdictColour colour)
{
    switch (colour) {
    case VerdictColour::Green: return RGB(0, 128, 0);
    case VerdictColour::Amber: return RGB(255, 176, 0);
    case VerdictColour::Red: return RGB(200, 0, 0);
    case VerdictColour::Grey: break;
    }
    return RGB(112, 112, 112);
}

COLORREF BandInk(VerdictColour colour)
{
    // Black on amber; white reads better on the three darker fills.
    return colour == VerdictColour::Amber ? RGB(0, 0, 0) : RGB(255, 255, 255);
}

VerdictBand::~VerdictBand()
{
    if (band_ != nullptr)
        RemoveWindowSubclass(band_, Paint, kPaintSubclass);
}

bool VerdictBand::Create(HWND parent, int id)
{
    band_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (band_ == nullptr)
        return false;
    SetWindowSubclass(band_, Paint, kPaintSubclass, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

void VerdictBand::SetFont(HFONT font)
{
    font_ = font;
    if (band_ != nullptr)
        InvalidateRect(band_, nullptr, FALSE);
}

void VerdictBand::Show(VerdictColour colour, const std::string& text)
{
    colour_ = colour;
    // The text is the control's own, so that tools reading the window find it.
    SetWindowTextW(band_, Widen(text).c_str());
    ShowWindow(band_, SW_SHOWNA);
    InvalidateRect(band_, nullptr, FALSE);
}

void VerdictBand::Hide()
{
    ShowWindow(band_, SW_HIDE);
}

void VerdictBand::Draw(HDC dc) const
{
    RECT area;
    GetClientRect(band_, &area);
    const HBRUSH fill = CreateSolidBrush(BandFill(colour_));
    FillRect(dc, &area, fill);
    DeleteObject(fill);
    wchar_t text[256] = {};
    GetWindowTextW(band_, text, static_cast<int>(std::size(text)));
    const HGDIOBJ old_font = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, BandInk(colour_));
    DrawTextW(dc, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old_font);
}

LRESULT CALLBACK VerdictBand::Paint(HWND band, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                    DWORD_PTR self)
{
    switch (message) {
    case WM_ERASEBKGND: return 1;  // Draw covers everything
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(band, &paint);
        reinterpret_cast<const VerdictBand*>(self)->Draw(dc);
        EndPaint(band, &paint);
        return 0;
    }
    default: return DefSubclassProc(band, message, wparam, lparam);
    }
}

}  // namespace varnox
