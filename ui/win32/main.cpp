// varnox-patch.exe: the window. "COMn=DEVICE" arguments map menu items to
// other devices; without them COMn is the system's COMn.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "comm/serial_win32.h"
#include "core/clock.h"
#include "ui/win32/command_line.h"
#include "ui/win32/form1.h"
#include "ui/win32/wide_text.h"
#include "update/update_engine.h"

namespace {

// COM for the picture decoder, for the life of the program's window thread.
class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment()
    {
        if (ok_)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool ok_;
};

// The arguments in UTF-8, whatever the system's code page.
std::vector<std::string> Arguments()
{
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i)
        args.push_back(varnox::Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

}  // namespace

int main()
{
    using namespace varnox;
    const WindowCommandLine command = ParseWindowCommandLine(Arguments());
    if (!command.Error.empty()) {
        // A window program has no console to print to.
        const std::wstring text = Widen(command.Error + "\n\nusage: " + kWindowUsage);
        MessageBoxW(nullptr, text.c_str(), Widen(kProgramName).c_str(), MB_OK | MB_ICONERROR);
        return 2;
    }

    const ComApartment com;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Win32PortOpener opener(command.Overrides);
    SteadyClock clock;
    TForm1 form(opener, clock);
    if (!form.Create())
        return 1;
    ShowWindow(form.Handle(), SW_SHOWNORMAL);
    UpdateWindow(form.Handle());

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab moves between the controls as in a dialog.
        if (form.Handle() != nullptr && IsDialogMessageW(form.Handle(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
