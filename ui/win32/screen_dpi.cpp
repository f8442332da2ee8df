#include "ui/win32/screen_dpi.h"

#include "ui/core/form_layout.h"

namespace varnox {

namespace {

// An export of `module` looked up at run time, null where this Windows lacks it.
template <typename Function>
Function* Export(const wchar_t* module, const char* name)
{
    HMODULE handle = GetModuleHandleW(module);
    if (handle == nullptr)
        handle = LoadLibraryW(module);  // shcore.dll is not always loaded yet
    if (handle == nullptr)
        return nullptr;
    // Through a plain function pointer: FARPROC's own type is unrelated.
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name)));
}

int SystemDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace

int MonitorDpi(HMONITOR monitor)
{
    // MDT_EFFECTIVE_DPI = 0
    using GetDpiForMonitorFunction = HRESULT WINAPI(HMONITOR, int, UINT*, UINT*);
    static GetDpiForMonitorFunction* const get =
        Export<GetDpiForMonitorFunction>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0;
    UINT y = 0;
    if (get != nullptr && monitor != nullptr && SUCCEEDED(get(monitor, 0, &x, &y)) && x > 0)
        return static_cast<int>(x);
    return SystemDpi();
}

int WindowDpi(HWND window)
{
    using GetDpiForWindowFunction = UINT WINAPI(HWND);
    static GetDpiForWindowFunction* const get = Export<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (get != nullptr) {
        const UINT dpi = get(window);
        if (dpi > 0)
            return static_cast<int>(dpi);
    }
    return MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

RECT FrameAround(RECT client, DWORD style, bool menu, DWORD ex_style, int dpi)
{
    using AdjustFunction = BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT);
    static AdjustFunction* const adjust = Export<AdjustFunction>(L"user32.dll", "AdjustWindowRectExForDpi");
    // Before Windows 10 the frame is the system's, which is the only dpi
    // the window is ever drawn at there but for a per-monitor move, where
    // the client size is corrected after the move.
    if (adjust == nullptr || !adjust(&client, style, menu ? TRUE : FALSE, ex_style, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&client, style, menu ? TRUE : FALSE, ex_style);
    return client;
}

}  // namespace varnox
