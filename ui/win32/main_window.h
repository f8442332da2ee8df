#pragma once
// The tool's one window, native Win32 shell of the window core (ui/core):
// controls, painting, and the hand-over of the engine's operations to the
// window's thread. The core decides what a click does and what is refused.
// The layout, fonts and logo follow the dpi of the screen the window is on.

#include <windows.h>

#include <array>
#include <atomic>
#include <string>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "ui/core/form_layout.h"
#include "ui/core/main_window_core.h"
#include "ui/core/main_window_view.h"
#include "ui/core/window_settings.h"
#include "ui/win32/gauge.h"
#include "ui/win32/taskbar_progress.h"
#include "ui/win32/verdict_band.h"

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
    // Hands the object over to the caller.
    Handle Release()
    {
        const Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    Handle handle_ = nullptr;
};

class MainWindow final : private MainWindowView {
public:
    // The window's class name: outside tools find the window by it.
    static constexpr const wchar_t* kClassName = L"TForm1";

    // `opener` and `clock` serve the probe and every update; both must
    // outlive the window.
    MainWindow(PortOpener& opener, Clock& clock);
    // A run still under way is asked to stop; the window serves it until it has.
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window; the core starts before it is first shown.
    bool Create();
    HWND Handle() const { return hwnd_; }

    // The choices kept in `store` with the command line's `given` over them
    // (MainWindowCore::SetSettingsStore); "" or why the trace did not start.
    std::string KeepSettingsIn(SettingsStore& store, const RunOptions& given)
    {
        return core_.SetSettingsStore(store, given);
    }

    // CONTINUE: the update, on the worker thread; refused during a run.
    void StartUpdate();
    UpdateEngine& Engine() { return core_.Engine(); }
    // The port menu: item n chooses port n for the next run.
    void SelectPort(int port) { core_.SelectPort(port); }
    bool RunInProgress() const { return core_.RunInProgress(); }

    // The controls by what they are; their ids and places are the layout's (ui/core/form_layout.h).
    // LogoFrame and LogoBevel are drawn on the window itself.
    Gauge ProgressGauge;
    HWND LogoImage = nullptr;
    HWND LanguageLabel = nullptr;
    HWND UpdateButton = nullptr;
    HWND Log = nullptr;
    HWND LanguageSelector = nullptr;
    HWND InfoBox = nullptr;
    HWND PanelTypeLabel = nullptr;
    HWND PanelTypeField = nullptr;
    HWND EepromAddressLabel = nullptr;
    HWND EepromAddressField = nullptr;
    HWND FlashAddressLabel = nullptr;
    HWND FlashAddressField = nullptr;
    HWND ErrorsLabel = nullptr;
    HWND ErrorCounterField = nullptr;
    // In the gauge's place once a run has ended.
    VerdictBand Verdict;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK InfoBoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                        DWORD_PTR form);
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    void OnCommand(int id, int code);
    // Rescales the window for `dpi` and moves it to `suggested` (WM_DPICHANGED).
    void OnDpiChanged(int dpi, const RECT& suggested);
    // Resizes the frame so that the client area has its designed size at dpi_.
    void FitClientArea();

    // MainWindowView
    void WakeWindowThread() override;
    void ServeEvents() override;
    void ShowBox(const BoxText& box) override;
    void LogLine(const std::string& text) override;
    void ClearLog() override;
    void SetGaugeVisible(bool visible) override;
    void SetGaugeProgress(int progress) override;
    void SetGaugeMaximum(int maximum) override;
    void RepaintGauge() override { UpdateWindow(ProgressGauge.Handle()); }
    void SetFieldText(Field field, const std::string& text) override;
    void EnableRunControls(bool button, bool port_menu) override;
    void EnablePortItem(int port, bool enabled) override;
    void ShowPortMenu(const PortMenuModel& menu) override;
    void SetButtonText(const std::string& text) override;
    void SetInfoBoxVisible(bool visible) override;
    int SelectorIndex() const override;
    void RunEnded() override;

    // main_window_menus.cpp: the menus after the port menu and their dialogs.
    void RefreshMenus() override;
    std::string ChooseTraceFile() override;
    std::optional<std::string> AskTechnician(const std::string& current) override;
    std::string ChooseReportFile(const std::string& suggested_name) override;
    int ShowHistory(const std::vector<std::string>& header,
                    const std::vector<std::vector<std::string>>& rows) override;
    bool AskOpenReport(const std::string& path) override;
    void OpenInBrowser(const std::string& path) override;
    void ShowAbout(const std::string& text) override;
    void ShowVerdictBand(VerdictColour colour, const std::string& text) override;
    void HideVerdictBand() override;

    // main_window_controls.cpp
    // The fonts at dpi_; the old ones are deleted once no control uses them.
    void CreateFonts();
    HFONT FontOf(ControlFont font) const;
    void CreateControls();
    HMENU CreatePortMenu();
    // Control `id` with the layout's caption and state, of `window_class` with
    // its own `style`; PlaceControls places it.
    HWND CreateChild(const wchar_t* window_class, DWORD style, ControlId id);
    // Every control at its place and in its font at dpi_.
    void PlaceControls();
    void PlaceControl(HWND control, const ControlPlace& place);
    // The logo decoded at its size at dpi_.
    void ShowLogo();
    // main_window_paint.cpp
    void PaintFrames(HDC dc) const;
    LRESULT ControlColours(HDC dc, HWND control, bool edit) const;
    void DrawUpdateButton(const DRAWITEMSTRUCT& item) const;

    // Carries a wake to the window's thread.
    static constexpr UINT kWakeMessage = WM_APP + 1;

    MainWindowCore core_;

    HWND hwnd_ = nullptr;
    std::atomic<HWND> wake_target_{nullptr};
    HMENU port_menu_ = nullptr;
    // The dots per inch the window is laid out for.
    int dpi_ = kDesignDpi;
    static constexpr std::array kFonts = {ControlFont::Dialog, ControlFont::Bold, ControlFont::Italic,
                                          ControlFont::Log};
    // Indexed by ControlFont.
    std::array<GdiObject<HFONT>, kFonts.size()> fonts_;
    TaskbarProgress taskbar_;
    GdiObject<HBITMAP> logo_;
    std::string logo_error_;
    bool log_has_lines_ = false;
};

}  // namespace varnox
