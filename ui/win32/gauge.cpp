#include "ui/win32/gauge.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "core/gauge_percent.h"
#include "ui/win32/wide_text.h"

namespace varnox {

namespace {

constexpr UINT_PTR kPaintSubclass = 1;

}  // namespace

Gauge::~Gauge()
{
    if (bar_ != nullptr)
        RemoveWindowSubclass(bar_, Paint, kPaintSubclass);
}

bool Gauge::Create(HWND parent, int id)
{
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_BORDER | PBS_SMOOTH, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (bar_ == nullptr)
        return false;
    SetWindowSubclass(bar_, Paint, kPaintSubclass, reinterpret_cast<DWORD_PTR>(this));
    Apply();
    return true;
}

void Gauge::SetFont(HFONT font)
{
    font_ = font;
    if (bar_ != nullptr)
        InvalidateRect(bar_, nullptr, FALSE);
}

void Gauge::SetProgress(int progress)
{
    progress_ = progress;
    Apply();
}

void Gauge::SetMaximum(int maximum)
{
    maximum_ = maximum;
    Apply();
}

// The control keeps the same range and position, for whoever asks it.
void Gauge::Apply()
{
    if (bar_ == nullptr)
        return;
    SendMessageW(bar_, PBM_SETRANGE32, 0, std::max(maximum_, 0));
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(std::clamp(progress_, 0, std::max(maximum_, 0))), 0);
    InvalidateRect(bar_, nullptr, FALSE);
}

void Gauge::Draw(HDC dc) const
{
    RECT area;
    GetClientRect(bar_, &area);
    const long long span = std::max(maximum_, 0);
    const long long done = std::clamp<long long>(progress_, 0, span);
    const int filled = span > 0 ? static_cast<int>(done * (area.right - area.left) / span) : 0;
    RECT bar = area;
    bar.right = area.left + filled;
    RECT rest = area;
    rest.left = bar.right;
    FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FillRect(dc, &rest, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    // The text is white where it lies on the bar and black beside it.
    const std::wstring text = Widen(GaugeText(progress_, maximum_));
    const HGDIOBJ old_font = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    for (const auto& [part, colour] : {std::pair{bar, RGB(255, 255, 255)}, std::pair{rest, RGB(0, 0, 0)}}) {
        if (part.right <= part.left)
            continue;
        SaveDC(dc);
        IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
        SetTextColor(dc, colour);
        RECT where = area;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &where, format);
        RestoreDC(dc, -1);
    }
    SelectObject(dc, old_font);
}

LRESULT CALLBACK Gauge::Paint(HWND bar, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR self)
{
    const Gauge* gauge = reinterpret_cast<const Gauge*>(self);
    switch (message) {
    case WM_ERASEBKGND: return 1;  // Draw covers everything
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(bar, &paint);
        // Drawn off screen first, so the moving bar does not flicker.
        RECT area;
        GetClientRect(bar, &area);
        const HDC memory = CreateCompatibleDC(dc);
        const HBITMAP picture = CreateCompatibleBitmap(dc, std::max(area.right, 1L), std::max(area.bottom, 1L));
        const HGDIOBJ old = SelectObject(memory, picture);
        gauge->Draw(memory);
        BitBlt(dc, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(picture);
        DeleteDC(memory);
        EndPaint(bar, &paint);
        return 0;
    }
    default: return DefSubclassProc(bar, message, wparam, lparam);
    }
}

}  // namespace varnox
