#include "ui/win32/form1.h"

#include <algorithm>

#include "ui/win32/form_layout.h"
#include "ui/form_texts.h"
#include "ui/win32/wide_text.h"

namespace varnox {

namespace {

// Fixed single border, system menu and close button only: no sizing, no
// iconify or enlarge buttons.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

// The window's frame at its designed place, moved just enough to keep it
// inside the screen's work area.
RECT FramePlace(HMENU menu)
{
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kFormStyle, menu != nullptr, kFormExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int left = std::max<int>(work.left, std::min<int>(kFormLeft, work.right - width));
    const int top = std::max<int>(work.top, std::min<int>(kFormTop, work.bottom - height));
    return {left, top, left + width, top + height};
}

}  // namespace

TForm1::TForm1(PortOpener& opener, Clock& clock) : bridge_(*this), engine_(opener, clock, bridge_) {}

TForm1::~TForm1()
{
    // Closing is refused during a run, but the program may still end under
    // one: the engine stops at its next boundary, and needs the window's
    // thread for its operations until then.
    if (worker_.joinable() && running_) {
        engine_.RequestStop();
        MSG message;
        while (running_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (worker_.joinable())
        worker_.join();
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

bool TForm1::Create()
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
    const RECT frame = FramePlace(menu);
    const std::wstring caption = Widen(kFormCaption);
    hwnd_ = CreateWindowExW(kFormExStyle, kClassName, caption.c_str(), kFormStyle, frame.left, frame.top,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, menu, instance, this);
    if (hwnd_ == nullptr)
        return false;
    // The menu bar may take another height than AdjustWindowRectEx assumed:
    // the client area keeps its designed size.
    RECT client;
    GetClientRect(hwnd_, &client);
    const int wider = kClientWidth - client.right;
    const int taller = kClientHeight - client.bottom;
    if (wider != 0 || taller != 0)
        SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left + wider, frame.bottom - frame.top + taller,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    TForm1* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->hwnd_ = window;
    }
    if (form == nullptr)
        return DefWindowProcW(window, message, wparam, lparam);
    return form->OnMessage(message, wparam, lparam);
}

LRESULT TForm1::OnMessage(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        bridge_.Attach(hwnd_);
        CreateFonts();
        CreateControls();
        FormCreate();
        return 0;
    case WindowBridge::kOperationMessage:
        bridge_.RunPosted(lparam);
        return 0;
    case kRunFinishedMessage:
        OnRunFinished();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wparam), HIWORD(wparam));
        return 0;
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
            DrawButton5(*item);
            return TRUE;
        }
        break;
    }
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        hwnd_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void TForm1::FormCreate()
{
    ShowWindow(DEBUG_BOX, SW_SHOWNA);
    engine_.SelectedPort = 1;
    ProbePorts();
    for (const char* line : kStartupInstructions)
        LogLine(Widen(line));
    SetWindowTextW(Button5, Widen(kButtonCaption).c_str());
}

void TForm1::ProbePorts()
{
    for (int port = 1; port <= kMenuPorts; ++port) {
        ProbeComm.Number = port;
        const bool usable = ProbeComm.Open(engine_.Opener()).ok();
        // A device that opened but refused the settings is held too:
        // release it, or the update could not open that port afterwards.
        ProbeComm.Close();
        ProbeComm.Release();
        EnableMenuItem(port_menu_, kPortItemBase + port, MF_BYCOMMAND | (usable ? MF_ENABLED : MF_GRAYED));
    }
}

void TForm1::OnCommand(int id, int code)
{
    if (id == kButton5 && code == BN_CLICKED) {
        Button5Click();
    } else if (id > kPortItemBase && id <= kPortItemBase + kMenuPorts) {
        PortItemClick(id - kPortItemBase);
    }
}

void TForm1::PortItemClick(int port)
{
    // The menu is greyed during a run; this also holds for a direct call.
    if (running_)
        return;
    engine_.SelectedPort = port;
}

void TForm1::Button5Click()
{
    // A second run must never start inside the first.
    if (running_ || engine_.Running())
        return;
    if (worker_.joinable())
        worker_.join();
    running_ = true;
    EnableWindow(Button5, FALSE);
    SetPortMenuEnabled(false);
    worker_ = std::thread([this] {
        engine_.Run();
        // Queued behind every operation the run posted, so the window shows
        // the whole run before it counts as ended.
        PostMessageW(hwnd_, kRunFinishedMessage, 0, 0);
    });
}

void TForm1::OnRunFinished()
{
    if (worker_.joinable())
        worker_.join();
    running_ = false;
    SetPortMenuEnabled(true);
    EnableWindow(Button5, engine_button_enabled_ ? TRUE : FALSE);
}

void TForm1::SetPortMenuEnabled(bool enabled)
{
    const HMENU bar = GetMenu(hwnd_);
    EnableMenuItem(bar, 0, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(hwnd_);
}

void TForm1::OnClose()
{
    if (!running_) {
        DestroyWindow(hwnd_);
        return;
    }
    MessageBoxW(hwnd_, Widen(kCloseRefusedText).c_str(), Widen(kProgramName).c_str(), MB_OK | MB_ICONWARNING);
}

void TForm1::LogLine(const std::wstring& text)
{
    // An empty edit already looks like one empty line; the first line goes
    // into it so that an empty first line is not lost.
    const std::wstring line = log_has_lines_ ? L"\r\n" + text : text;
    const LRESULT end = SendMessageW(Messaggio, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(Messaggio, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(Messaggio, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageW(Messaggio, EM_SCROLLCARET, 0, 0);
    log_has_lines_ = true;
}

void TForm1::ClearLog()
{
    SetWindowTextW(Messaggio, L"");
    log_has_lines_ = false;
}

void TForm1::SetGaugeVisible(bool visible)
{
    ShowWindow(Gauge1.Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

void TForm1::SetFieldText(Field field, const std::wstring& text)
{
    HWND target = nullptr;
    switch (field) {
    case Field::PanelType: target = panelTypebox; break;
    case Field::Address: target = Address; break;
    case Field::FlashAddress: target = FlashAddress; break;
    case Field::ErrorCounter: target = ErrorCounter; break;
    }
    SetWindowTextW(target, text.c_str());
}

void TForm1::SetEngineButtonEnabled(bool enabled)
{
    engine_button_enabled_ = enabled;
    if (!running_)
        EnableWindow(Button5, enabled ? TRUE : FALSE);
}

void TForm1::ShowBox(BoxKind kind, const std::wstring& title, const std::wstring& text, const std::wstring& detail)
{
    const std::wstring shown = detail.empty() ? text : text + L"\n\n" + detail;
    const UINT icon = kind == BoxKind::Error ? MB_ICONERROR : 0;
    MessageBoxW(hwnd_, shown.c_str(), title.c_str(), MB_OK | icon);
}

}  // namespace varnox
