// The window's controls: fonts, creation in the order of the window's layout
// (which is also the tab order), dressed from the layout table; the port
// menu and the logo.

#include <windows.h>

#include <commctrl.h>

#include "firmware/language_selector.h"
#include "ui/core/form_texts.h"
#include "ui/core/port_probe.h"
#include "ui/win32/main_window.h"
#include "ui/win32/logo.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/wide_text.h"

namespace varnox {

namespace {

// The designed font: MS Sans Serif, 8 pt (11 pixels at 96 dpi).
constexpr const wchar_t* kDialogFace = L"MS Sans Serif";
constexpr int kDialogHeight = -11;
constexpr int kLogHeight = -13;  // 10 pt
// The drop-down list's height when open; the control is never shown.
constexpr int kComboListHeight = 200;

HFONT MakeFont(int height, int weight, bool italic)
{
    return CreateFontW(height, 0, 0, 0, weight, italic ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       kDialogFace);
}

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
    dialog_font_.Reset(MakeFont(kDialogHeight, FW_NORMAL, false));
    bold_font_.Reset(MakeFont(kDialogHeight, FW_BOLD, false));
    italic_font_.Reset(MakeFont(kDialogHeight, FW_NORMAL, true));
    log_font_.Reset(MakeFont(kLogHeight, FW_BOLD, false));
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
    return bar;
}

HFONT MainWindow::FontOf(ControlFont font) const
{
    switch (font) {
    case ControlFont::Dialog: break;
    case ControlFont::Bold: return bold_font_.Get();
    case ControlFont::Italic: return italic_font_.Get();
    case ControlFont::Log: return log_font_.Get();
    }
    return dialog_font_.Get();
}

HWND MainWindow::CreateChild(const wchar_t* window_class, DWORD style, ControlId id)
{
    const ControlPlace& place = PlaceOf(id);
    const HWND parent = place.InInfoBox ? DEBUG_BOX : hwnd_;
    const HFONT font = FontOf(place.Font);
    style |= WS_CHILD | (place.Visible ? WS_VISIBLE : 0) | (place.Enabled ? 0 : WS_DISABLED) |
             (place.TabOrder > 0 ? WS_TABSTOP : 0);
    const std::wstring caption = Widen(place.Text);
    const HWND control = CreateWindowExW(0, window_class, caption.c_str(), style, place.Left, place.Top,
                                         place.Width, place.Height, parent,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                         GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (place.Width == 0 || place.Height == 0) {
        const SIZE size = TextSize(control, font, caption);
        SetWindowPos(control, nullptr, 0, 0, place.Width != 0 ? place.Width : size.cx,
                     place.Height != 0 ? place.Height : size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return control;
}

void MainWindow::CreateControls()
{
    const HFONT dialog = dialog_font_.Get();
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(dialog), FALSE);

    // Shape1 and Bevel1 are drawn by the window (PaintFrames).
    const ControlPlace& gauge = PlaceOf(kGauge1);
    Gauge1.Create(hwnd_, kGauge1, gauge.Left, kClientHeight - gauge.Height, kClientWidth, gauge.Height, dialog);

    Image1 = CreateChild(L"STATIC", SS_BITMAP, kImage1);
    Label1 = CreateChild(L"STATIC", SS_LEFT | SS_NOPREFIX, kLabel1);
    Button5 = CreateChild(L"BUTTON", BS_OWNERDRAW, kButton5);
    // Lines wrap at the right edge (no horizontal scrolling); no scroll bars.
    Messaggio = CreateChild(L"EDIT", WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, kMessaggio);
    SendMessageW(Messaggio, EM_SETLIMITTEXT, 0, 0);  // as much as the system allows
    LogLine({});  // the log starts with one empty line

    ComboBox1 = CreateChild(L"COMBOBOX", WS_VSCROLL | CBS_DROPDOWN, kComboBox1);
    SetWindowPos(ComboBox1, nullptr, 0, 0, PlaceOf(kComboBox1).Width, kComboListHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const SelectorEntry& entry : kLanguageSelector)
        SendMessageW(ComboBox1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry.Text).c_str()));
    SendMessageW(ComboBox1, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);

    DEBUG_BOX = CreateChild(L"BUTTON", BS_GROUPBOX, kDebugBox);
    SetWindowLongPtrW(DEBUG_BOX, GWL_EXSTYLE, GetWindowLongPtrW(DEBUG_BOX, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    // A group box keeps its children's notifications to itself; they belong to the window.
    SetWindowSubclass(DEBUG_BOX, InfoBoxProc, 1, reinterpret_cast<DWORD_PTR>(this));

    const DWORD label = SS_LEFT | SS_NOPREFIX;
    const DWORD field = WS_BORDER | ES_AUTOHSCROLL | ES_READONLY;
    Label4 = CreateChild(L"STATIC", label, kLabel4);
    panelTypebox = CreateChild(L"EDIT", field, kPanelTypebox);
    Label2 = CreateChild(L"STATIC", label, kLabel2);
    Address = CreateChild(L"EDIT", field, kAddress);
    Label3 = CreateChild(L"STATIC", label, kLabel3);
    FlashAddress = CreateChild(L"EDIT", field, kFlashAddress);
    Label5 = CreateChild(L"STATIC", label, kLabel5);
    ErrorCounter = CreateChild(L"EDIT", field, kErrorCounter);

    ShowLogo();
    SetFocus(Button5);
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
    logo_.Reset(DecodeJpeg(bytes, size, {place.Width, place.Height}, logo_error_));
    if (logo_.Get() != nullptr)
        SendMessageW(Image1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_.Get()));
}

}  // namespace varnox
