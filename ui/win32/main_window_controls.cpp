// The window's controls: fonts, creation in the order of the window's layout
// (which is also the tab order), dressed and placed from the layout table at
// the window's dpi; the port menu and the logo.

#include <windows.h>

#include <commctrl.h>

#include "firmware/language_selector.h"
#include "ui/core/dpi_scale.h"
#include "ui/core/form_texts.h"
#include "ui/core/port_probe.h"
#include "ui/win32/control_fonts.h"
#include "ui/win32/logo.h"
#include "ui/win32/main_window.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_menu_bar.h"

namespace varnox {

namespace {

// The drop-down list's height when open, at 96 dpi; the control is never shown.
constexpr int kComboListHeight = 200;

// A label's size follows its text, as the designer's auto-sized labels do.
SIZE TextSize(HWND control, HFONT font, const std::wstring& text)
{
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, font);
    RECT area{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {area.right - area.left, area.bottom - area.top};
}

}  // namespace

void MainWindow::CreateFonts()
{
    for (const ControlFont font : kFonts)
        fonts_[static_cast<std::size_t>(font)].Reset(MakeControlFont(font, dpi_));
}

HMENU MainWindow::CreatePortMenu()
{
    const HMENU bar = CreateMenu();
    port_menu_ = CreatePopupMenu();
    const auto items = PortMenuItems(core_.Engine().Opener());
    for (int port = 1; port <= kMenuPorts; ++port) {
        AppendMenuW(port_menu_, MF_STRING, static_cast<UINT_PTR>(kPortItemBase + port),
                    Widen(items[port - 1].Text).c_str());
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(port_menu_), Widen(kPortMenuTitle).c_str());
    AppendWindowMenus(bar);
    return bar;
}

HFONT MainWindow::FontOf(ControlFont font) const
{
    return fonts_[static_cast<std::size_t>(font)].Get();
}

HWND MainWindow::CreateChild(const wchar_t* window_class, DWORD style, ControlId id)
{
    const ControlPlace& place = PlaceOf(id);
    const HWND parent = place.InInfoBox ? InfoBox : hwnd_;
    style |= WS_CHILD | (place.Visible ? WS_VISIBLE : 0) | (place.Enabled ? 0 : WS_DISABLED) |
             (place.TabOrder > 0 ? WS_TABSTOP : 0);
    return CreateWindowExW(0, window_class, Widen(place.Text).c_str(), style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void MainWindow::PlaceControl(HWND control, const ControlPlace& place)
{
    const HFONT font = FontOf(place.Font);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ScreenRect rect = PlaceAtDpi(place, dpi_);
    if (rect.Width == 0 || rect.Height == 0) {
        const SIZE size = TextSize(control, font, Widen(place.Text));
        rect.Width = rect.Width != 0 ? rect.Width : size.cx;
        rect.Height = rect.Height != 0 ? rect.Height : size.cy;
    }
    if (place.Id == kComboBox1)
        rect.Height = ScaleToDpi(kComboListHeight, dpi_);
    SetWindowPos(control, nullptr, rect.Left, rect.Top, rect.Width, rect.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::PlaceControls()
{
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(ControlFont::Dialog)), FALSE);
    // LogoFrame and LogoBevel are drawn by the window (PaintFrames): no controls.
    for (const ControlPlace& place : kControlPlaces) {
        const HWND control = GetDlgItem(place.InInfoBox ? InfoBox : hwnd_, place.Id);
        if (control != nullptr)
            PlaceControl(control, place);
    }
    ProgressGauge.SetFont(FontOf(PlaceOf(kGauge1).Font));
    // The verdict band lies exactly where the gauge does.
    const ScreenRect band = PlaceAtDpi(PlaceOf(kGauge1), dpi_);
    SetWindowPos(Verdict.Handle(), nullptr, band.Left, band.Top, band.Width, band.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Verdict.SetFont(FontOf(ControlFont::Bold));
}

void MainWindow::CreateControls()
{
    ProgressGauge.Create(hwnd_, kGauge1);
    Verdict.Create(hwnd_, kVerdictBandId);

    LogoImage = CreateChild(L"STATIC", SS_BITMAP, kImage1);
    LanguageLabel = CreateChild(L"STATIC", SS_LEFT | SS_NOPREFIX, kLabel1);
    UpdateButton = CreateChild(L"BUTTON", BS_OWNERDRAW, kButton5);
    // Lines wrap at the right edge (no horizontal scrolling); no scroll bars.
    Log = CreateChild(L"EDIT", WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, kMessaggio);
    SendMessageW(Log, EM_SETLIMITTEXT, 0, 0);  // as much as the system allows
    LogLine({});                               // the log starts with one empty line

    LanguageSelector = CreateChild(L"COMBOBOX", WS_VSCROLL | CBS_DROPDOWN, kComboBox1);
    for (const SelectorEntry& entry : kLanguageSelector)
        SendMessageW(LanguageSelector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry.Text).c_str()));
    SendMessageW(LanguageSelector, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);

    InfoBox = CreateChild(L"BUTTON", BS_GROUPBOX, kDebugBox);
    SetWindowLongPtrW(InfoBox, GWL_EXSTYLE, GetWindowLongPtrW(InfoBox, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    // A group box keeps its children's notifications to itself; they belong to the window.
    SetWindowSubclass(InfoBox, InfoBoxProc, 1, reinterpret_cast<DWORD_PTR>(this));

    const DWORD label = SS_LEFT | SS_NOPREFIX;
    const DWORD field = WS_BORDER | ES_AUTOHSCROLL | ES_READONLY;
    PanelTypeLabel = CreateChild(L"STATIC", label, kLabel4);
    PanelTypeField = CreateChild(L"EDIT", field, kPanelTypebox);
    EepromAddressLabel = CreateChild(L"STATIC", label, kLabel2);
    EepromAddressField = CreateChild(L"EDIT", field, kAddress);
    FlashAddressLabel = CreateChild(L"STATIC", label, kLabel3);
    FlashAddressField = CreateChild(L"EDIT", field, kFlashAddress);
    ErrorsLabel = CreateChild(L"STATIC", label, kLabel5);
    ErrorCounterField = CreateChild(L"EDIT", field, kErrorCounter);

    PlaceControls();
    ShowLogo();
    SetFocus(UpdateButton);
}

void MainWindow::ShowLogo()
{
    const void* bytes = nullptr;
    std::size_t size = 0;
    if (!ResourceBytes(VARNOX_LOGO_JPEG, bytes, size)) {
        logo_error_ = "the logo is missing from the program";
        return;
    }
    const ControlPlace& place = PlaceOf(kImage1);
    const HBITMAP logo = DecodeJpeg(bytes, size, {place.Width, place.Height}, dpi_, logo_error_);
    if (logo == nullptr)
        return;
    // The control sizes itself to the picture. Common controls 6 keep a
    // copy of a 32-bit picture: the copy it hands back is ours to delete.
    const auto previous = reinterpret_cast<HBITMAP>(
        SendMessageW(LogoImage, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo)));
    if (previous != nullptr && previous != logo_.Get())
        DeleteObject(previous);
    logo_.Reset(logo);
}

}  // namespace varnox
