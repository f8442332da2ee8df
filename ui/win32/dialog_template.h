#pragma once
// An empty modal dialog built in memory: the program carries no dialog
// resources, and the dialogs make their controls when they open.

#include <windows.h>

#include <string>
#include <vector>

namespace varnox {

// A dialog template of `width` x `height` dialog units with `caption`, in
// the system's dialog font at 8 pt, centred on its owner.
std::vector<WORD> DialogTemplate(const std::wstring& caption, short width, short height);

// Runs the dialog made from `layout`; `procedure` gets `param` with WM_INITDIALOG.
INT_PTR RunDialog(HWND owner, const std::vector<WORD>& layout, DLGPROC procedure, LPARAM param);

// A child control of a dialog, placed in dialog units.
HWND AddDialogControl(HWND dialog, const wchar_t* window_class, const std::wstring& text, DWORD style, int id,
                      RECT units);

}  // namespace varnox
