#include "ui/win32/main_window.h"

#include "ui/core/dpi_scale.h"
#include "ui/core/form_texts.h"
#include "ui/core/window_placement.h"
#include "ui/win32/screen_dpi.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_menu_bar.h"

namespace varnox {

namespace {

// Fixed single border, system menu and close button only: no sizing, no
// iconify or enlarge buttons.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

// The window's frame at its designed place, at `dpi`, moved just enough to
// keep it inside the screen's work area.
RECT FramePlace(HMENU menu, int dpi)
{
    const RECT frame = FrameAround({0, 0, ScaleToDpi(kClientWidth, dpi), ScaleToDpi(kClientHeight, dpi)},
                                   kFormStyle, menu != nullptr, kFormExStyle, dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const ScreenRect place =
        PlaceFrame(width, height,
                   {static_cast<int>(work.left), static_cast<int>(work.top),
                    static_cast<int>(work.right - work.left), static_cast<int>(work.bottom - work.top)},
                   dpi);
    return {place.Left, place.Top, place.Left + width, place.Top + height};
}

}  // namespace

MainWindow::MainWindow(PortOpener& opener, Clock& clock) : core_(*this, opener, clock)
{
    // Linked into the program besides the core's (the system's own DLLs are not named).
    core_.Libraries.push_back("the mingw-w64 runtime (ZPL 2.1) and winpthreads (MIT licence)");
}

MainWindow::~MainWindow()
{
    // Closing is refused during a run, but the program may still end under
    // one; the controls must outlive the run's last operation.
    core_.EndRun();
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

bool MainWindow::Create()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    window_class.hIconSm = window_class.hIcon;
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kClassName;
    if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;

    const HMENU menu = CreatePortMenu();
    // The work area that places the window is the primary screen's.
    dpi_ = MonitorDpi(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY));
    const RECT frame = FramePlace(menu, dpi_);
    const std::wstring caption = Widen(kFormCaption);
    hwnd_ = CreateWindowExW(kFormExStyle, kClassName, caption.c_str(), kFormStyle, frame.left, frame.top,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, menu, instance, this);
    if (hwnd_ == nullptr)
        return false;
    FitClientArea();
    return true;
}

void MainWindow::FitClientArea()
{
    // The menu bar may take another height than the frame's calculation
    // assumed, and before Windows 10 a frame keeps the system's dpi.
    RECT client;
    GetClientRect(hwnd_, &client);
    const int wider = ScaleToDpi(kClientWidth, dpi_) - client.right;
    const int taller = ScaleToDpi(kClientHeight, dpi_) - client.bottom;
    if (wider == 0 && taller == 0)
        return;
    RECT frame;
    GetWindowRect(hwnd_, &frame);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left + wider, frame.bottom - frame.top + taller,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested)
{
    dpi_ = dpi;
    // The old fonts stay until every control has its new one.
    std::array<GdiObject<HFONT>, kFonts.size()> old_fonts;
    for (std::size_t i = 0; i < fonts_.size(); ++i)
        old_fonts[i].Reset(fonts_[i].Release());
    CreateFonts();
    PlaceControls();
    ShowLogo();
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientArea();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* form = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        form = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->hwnd_ = window;
    }
    if (form == nullptr)
        return DefWindowProcW(window, message, wparam, lparam);
    return form->OnMessage(message, wparam, lparam);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        wake_target_ = hwnd_;
        // Where it was created may not be where Create looked.
        dpi_ = WindowDpi(hwnd_);
        CreateFonts();
        CreateControls();
        core_.Start();
        return 0;
    case kWakeMessage: core_.ServeOperations(); return 0;
    case WM_COMMAND: OnCommand(LOWORD(wparam), HIWORD(wparam)); return 0;
    case WM_INITMENUPOPUP:
        // Probed again each time it opens: an adapter plugged in since becomes selectable.
        if (reinterpret_cast<HMENU>(wparam) == port_menu_)
            core_.ProbePorts();
        else
            RefreshMenus();
        return 0;
    case WM_DPICHANGED: OnDpiChanged(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam)); return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(hwnd_, &paint);
        PaintFrames(dc);
        EndPaint(hwnd_, &paint);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return ControlColours(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam),
                              message == WM_CTLCOLOREDIT);
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (item->CtlID == kButton5) {
            DrawUpdateButton(*item);
            return TRUE;
        }
        break;
    }
    case WM_CLOSE:
        if (core_.MayClose())
            DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        wake_target_ = nullptr;
        hwnd_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        if (message == TaskbarProgress::ButtonCreatedMessage()) {
            taskbar_.Attach(hwnd_);
            return 0;
        }
        break;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void MainWindow::OnCommand(int id, int code)
{
    if (id == kButton5 && code == BN_CLICKED) {
        StartUpdate();
    } else if (id > kPortItemBase && id <= kPortItemBase + kHighestPortNumber) {
        SelectPort(id - kPortItemBase);
    } else if (const auto command = MenuCommandOf(id)) {
        core_.OnMenuCommand(*command);
    }
}

void MainWindow::StartUpdate()
{
    if (core_.StartUpdate())
        taskbar_.RunStarted();
}

void MainWindow::SetGaugeProgress(int progress)
{
    ProgressGauge.SetProgress(progress);
    taskbar_.SetProgress(progress, ProgressGauge.Maximum());
}

void MainWindow::SetGaugeMaximum(int maximum)
{
    ProgressGauge.SetMaximum(maximum);
    taskbar_.SetProgress(ProgressGauge.Progress(), maximum);
}

void MainWindow::RunEnded()
{
    // Red on the taskbar after an ending that left the panel changed.
    taskbar_.RunEnded(Verdict.Shown() && Verdict.Colour() == VerdictColour::Red);
}

void MainWindow::WakeWindowThread()
{
    // Without a window the core serves its operations itself (EndRun).
    const HWND target = wake_target_.load();
    if (target != nullptr)
        PostMessageW(target, kWakeMessage, 0, 0);
}

void MainWindow::ServeEvents()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void MainWindow::ShowBox(const BoxText& box)
{
    const std::string shown = box.Detail.empty() ? box.Text : box.Text + "\n\n" + box.Detail;
    UINT icon = 0;
    switch (box.Icon) {
    case BoxIcon::None: break;
    case BoxIcon::Warning: icon = MB_ICONWARNING; break;
    case BoxIcon::Error: icon = MB_ICONERROR; break;
    }
    MessageBoxW(hwnd_, Widen(shown).c_str(), Widen(box.Title).c_str(), MB_OK | icon);
}

void MainWindow::LogLine(const std::string& text)
{
    // An empty edit already looks like one empty line; the first line goes
    // into it so that an empty first line is not lost.
    const std::wstring line = log_has_lines_ ? L"\r\n" + Widen(text) : Widen(text);
    const LRESULT end = SendMessageW(Log, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(Log, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(Log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageW(Log, EM_SCROLLCARET, 0, 0);
    log_has_lines_ = true;
}

void MainWindow::ClearLog()
{
    SetWindowTextW(Log, L"");
    log_has_lines_ = false;
}

void MainWindow::SetGaugeVisible(bool visible)
{
    ShowWindow(ProgressGauge.Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

void MainWindow::SetFieldText(Field field, const std::string& text)
{
    HWND target = nullptr;
    switch (field) {
    case Field::PanelType: target = PanelTypeField; break;
    case Field::Address: target = EepromAddressField; break;
    case Field::FlashAddress: target = FlashAddressField; break;
    case Field::ErrorCounter: target = ErrorCounterField; break;
    }
    SetWindowTextW(target, Widen(text).c_str());
}

void MainWindow::EnableRunControls(bool button, bool port_menu)
{
    EnableWindow(UpdateButton, button ? TRUE : FALSE);
    EnableMenuItem(GetMenu(hwnd_), 0, MF_BYPOSITION | (port_menu ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(hwnd_);
}

void MainWindow::ShowPortMenu(const PortMenuModel& menu)
{
    // A menu item has no tooltip here: the ports above the eight show their
    // adapter beside their name, the eight stay as they are.
    while (GetMenuItemCount(port_menu_) > kMenuPorts)
        DeleteMenu(port_menu_, kMenuPorts, MF_BYPOSITION);
    if (menu.Beyond.empty())
        return;
    AppendMenuW(port_menu_, MF_SEPARATOR, 0, nullptr);
    for (const PortMenuItem& item : menu.Beyond) {
        AppendMenuW(port_menu_, MF_STRING, static_cast<UINT_PTR>(kPortItemBase + item.Port),
                    Widen(item.Text + "\t" + item.Device).c_str());
    }
}

void MainWindow::EnablePortItem(int port, bool enabled)
{
    EnableMenuItem(port_menu_, kPortItemBase + port, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::SetButtonText(const std::string& text)
{
    SetWindowTextW(UpdateButton, Widen(text).c_str());
}

void MainWindow::SetInfoBoxVisible(bool visible)
{
    ShowWindow(InfoBox, visible ? SW_SHOWNA : SW_HIDE);
}

int MainWindow::SelectorIndex() const
{
    return static_cast<int>(SendMessageW(LanguageSelector, CB_GETCURSEL, 0, 0));
}

}  // namespace varnox
