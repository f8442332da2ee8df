#include "ui/win32/dialog_template.h"

namespace varnox {

std::vector<WORD> DialogTemplate(const std::wstring& caption, short width, short height)
{
    // DLGTEMPLATE, then the menu, class, caption, point size and face name as
    // WORD-aligned arrays; no items (the dialog adds its controls itself).
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* head = reinterpret_cast<DLGTEMPLATE*>(words.data());
    head->style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    head->cdit = 0;
    head->cx = width;
    head->cy = height;
    words.push_back(0);  // no menu
    words.push_back(0);  // the standard dialog class
    words.insert(words.end(), caption.begin(), caption.end());
    words.push_back(0);
    words.push_back(8);  // points
    const std::wstring face = L"MS Shell Dlg";
    words.insert(words.end(), face.begin(), face.end());
    words.push_back(0);
    return words;
}

INT_PTR RunDialog(HWND owner, const std::vector<WORD>& layout, DLGPROC procedure, LPARAM param)
{
    // The template must be DWORD-aligned: a vector of WORDs only promises WORDs.
    std::vector<DWORD> aligned((layout.size() + 1) / 2, 0);
    std::copy(layout.begin(), layout.end(), reinterpret_cast<WORD*>(aligned.data()));
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(aligned.data()),
                                   owner, procedure, param);
}

HWND AddDialogControl(HWND dialog, const wchar_t* window_class, const std::wstring& text, DWORD style, int id,
                      RECT units)
{
    MapDialogRect(dialog, &units);
    const HWND control =
        CreateWindowExW(0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, units.left, units.top,
                        units.right - units.left, units.bottom - units.top, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    return control;
}

}  // namespace varnox
