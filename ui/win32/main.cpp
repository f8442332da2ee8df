// varnox-patch.exe: the window. "COMn=DEVICE" arguments map menu items to
// other devices; without them COMn is the system's COMn.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "setup/program_setup.h"
#include "ui/core/window_command_line.h"
#include "ui/win32/main_window.h"
#include "ui/win32/registry_settings.h"
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

// A window program has no console of its own: the text goes to the output it
// was given, else to the console it was started from, else into a box.
void WriteOut(const std::string& text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE &&
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return;
    MessageBoxW(nullptr, varnox::Widen(text).c_str(), varnox::Widen(varnox::kProgramName).c_str(), MB_OK);
}

// Bad arguments: the usage in an error box, as nobody reads stderr.
int RefuseArguments(const varnox::StartupAnswer& answer)
{
    MessageBoxW(nullptr, varnox::Widen(answer.Err).c_str(), varnox::Widen(varnox::kProgramName).c_str(),
                MB_OK | MB_ICONERROR);
    return answer.ExitStatus;
}

}  // namespace

int main()
{
    using namespace varnox;
    WindowCommandLine command = ParseWindowCommandLine(Arguments());
    const StartupAnswer answer = AnswerWindowCommandLine(command, kProgramName);
    if (!answer.Err.empty())
        return RefuseArguments(answer);
    if (answer.ExitStatus >= 0) {
        WriteOut(answer.Out);
        return answer.ExitStatus;
    }

    const ComApartment com;
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    ProgramSetup setup(command.Ports, PortNumbering::System);
    if (std::string error; !setup.StartForWindow(command.Run, error)) {
        command.What = WindowCommandLine::Action::UsageError;
        command.Error = error;
        return RefuseArguments(AnswerWindowCommandLine(command, kProgramName));
    }
    MainWindow window(setup.Opener(), setup.Time());
    RegistrySettings settings;
    // The window's trace goes through its core, where WRITE TRACE... can end
    // it or choose another: the command line's, else the one kept.
    if (const std::string trace_error = window.KeepSettingsIn(settings, setup.Options());
        !trace_error.empty() && !setup.Options().TraceFile.empty()) {
        command.What = WindowCommandLine::Action::UsageError;
        command.Error = "--trace: " + trace_error;
        return RefuseArguments(AnswerWindowCommandLine(command, kProgramName));
    }
    if (!window.Create())
        return 1;
    ShowWindow(window.Handle(), SW_SHOWNORMAL);
    UpdateWindow(window.Handle());

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab moves between the controls as in a dialog.
        if (window.Handle() != nullptr && IsDialogMessageW(window.Handle(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
