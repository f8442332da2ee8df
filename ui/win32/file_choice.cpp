#include "ui/win32/file_choice.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "ui/win32/wide_text.h"

namespace varnox {

std::string ChooseSaveFile(HWND owner, SavedFile kind, const std::string& suggested)
{
    // Filters are pairs of NUL-ended strings, the list ended by another NUL.
    static constexpr wchar_t kReportFilter[] = L"Report (*.html)\0*.html\0All files (*.*)\0*.*\0";
    static constexpr wchar_t kTraceFilter[] = L"Trace (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    std::vector<wchar_t> path(MAX_PATH * 4, L'\0');
    const std::wstring start = Widen(suggested);
    start.copy(path.data(), std::min(start.size(), path.size() - 1));

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kind == SavedFile::Report ? kReportFilter : kTraceFilter;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrDefExt = kind == SavedFile::Report ? L"html" : L"txt";
    dialog.lpstrTitle = kind == SavedFile::Report ? L"SAVE REPORT..." : L"WRITE TRACE...";
    // A report goes with the user's documents, a trace to their profile folder,
    // unless `suggested` names a folder itself.
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, kind == SavedFile::Report ? CSIDL_PERSONAL : CSIDL_PROFILE, nullptr,
                                   SHGFP_TYPE_CURRENT, folder)))
        dialog.lpstrInitialDir = folder;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog))
        return {};
    return Narrow(path.data());
}

bool OpenWithDefaultProgram(HWND owner, const std::string& path)
{
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, L"open", Widen(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    // Values above 32 mean success.
    return started > 32;
}

}  // namespace varnox
