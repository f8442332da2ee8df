#pragma once
// TForm1: the tool's one window, native Win32. It probes the ports at
// start-up, lets the user choose the port, and runs the update of the
// CONTINUE button on a worker thread so that the window stays live
// throughout; while a run is under way the button, the port menu and
// closing the window are refused.

#include <windows.h>

#include <string>
#include <thread>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "core/window_ops.h"
#include "ui/win32/gauge.h"
#include "ui/win32/window_bridge.h"
#include "update/update_engine.h"

namespace varnox {

// A GDI object deleted with its owner.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject()
    {
        if (handle_ != nullptr)
            DeleteObject(handle_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    void Reset(Handle handle)
    {
        if (handle_ != nullptr)
            DeleteObject(handle_);
        handle_ = handle;
    }
    Handle Get() const { return handle_; }

private:
    Handle handle_ = nullptr;
};

class TForm1 {
public:
    // The window's class name, for FindWindow.
    static constexpr const wchar_t* kClassName = L"TForm1";

    // `opener` and `clock` serve the probe and every update; both must
    // outlive the window.
    TForm1(PortOpener& opener, Clock& clock);
    // Waits for a run still under way, serving its window operations.
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Creates the window; FormCreate runs before it is first shown.
    bool Create();
    HWND Handle() const { return hwnd_; }

    // The update of the CONTINUE button, started on the worker thread;
    // refused while a run is under way.
    void Button5Click();
    // The port menu: item n selects port n for the next run.
    void PortItemClick(int port);
    bool RunInProgress() const { return running_; }

    // Window operations of the engine, on the window's thread (WindowBridge).
    void LogLine(const std::wstring& text);
    void ClearLog();
    void SetGaugeVisible(bool visible);
    void SetFieldText(Field field, const std::wstring& text);
    void SetEngineButtonEnabled(bool enabled);
    void ShowBox(BoxKind kind, const std::wstring& title, const std::wstring& text, const std::wstring& detail);

    // The controls, named as in the window's definition. Shape1 and Bevel1
    // are drawn on the window itself.
    Gauge Gauge1;
    HWND Image1 = nullptr;
    HWND Label1 = nullptr;
    HWND Button5 = nullptr;
    HWND Messaggio = nullptr;
    HWND ComboBox1 = nullptr;
    HWND DEBUG_BOX = nullptr;
    HWND Label4 = nullptr;
    HWND panelTypebox = nullptr;
    HWND Label2 = nullptr;
    HWND Address = nullptr;
    HWND Label3 = nullptr;
    HWND FlashAddress = nullptr;
    HWND Label5 = nullptr;
    HWND ErrorCounter = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK InfoBoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                        DWORD_PTR form);
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);

    // form1_controls.cpp
    void CreateFonts();
    void CreateControls();
    HMENU CreatePortMenu();
    HWND CreateChild(const wchar_t* window_class, const std::string& text, DWORD style, int id, HFONT font);
    void ShowLogo();
    // form1_paint.cpp
    void PaintFrames(HDC dc) const;
    LRESULT ControlColours(HDC dc, HWND control, bool edit) const;
    void DrawButton5(const DRAWITEMSTRUCT& item) const;

    void FormCreate();
    void ProbePorts();
    void OnCommand(int id, int code);
    void OnClose();
    void OnRunFinished();
    void SetPortMenuEnabled(bool enabled);

    static constexpr UINT kRunFinishedMessage = WM_APP + 2;

    WindowBridge bridge_;
    UpdateEngine engine_;
    SerialPort ProbeComm;

    HWND hwnd_ = nullptr;
    HMENU port_menu_ = nullptr;
    GdiObject<HFONT> dialog_font_;
    GdiObject<HFONT> bold_font_;
    GdiObject<HFONT> italic_font_;
    GdiObject<HFONT> log_font_;
    GdiObject<HBITMAP> logo_;
    std::string logo_error_;
    bool log_has_lines_ = false;

    bool running_ = false;
    // The button's state as the engine last set it; shown once a run ends.
    bool engine_button_enabled_ = true;
    std::thread worker_;
};

}  // namespace varnox
