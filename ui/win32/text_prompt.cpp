#include "ui/win32/text_prompt.h"

#include "ui/win32/dialog_template.h"
#include "ui/win32/wide_text.h"

namespace varnox {

namespace {

constexpr int kField = 310;
constexpr short kWidth = 220;
constexpr short kHeight = 70;

struct Prompt {
    std::wstring Text;
    std::wstring Value;
};

INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* prompt = reinterpret_cast<Prompt*>(lparam);
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        AddDialogControl(dialog, L"STATIC", prompt->Text, SS_LEFT | SS_NOPREFIX, -1, {7, 7, kWidth - 7, 17});
        const HWND field =
            AddDialogControl(dialog, L"EDIT", prompt->Value, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, kField,
                             {7, 20, kWidth - 7, 32});
        SendMessageW(field, EM_SETLIMITTEXT, 100, 0);
        AddDialogControl(dialog, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
                         {kWidth - 7 - 2 * 50 - 4, kHeight - 21, kWidth - 7 - 50 - 4, kHeight - 7});
        AddDialogControl(dialog, L"BUTTON", L"CANCEL", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL,
                         {kWidth - 7 - 50, kHeight - 21, kWidth - 7, kHeight - 7});
        SetFocus(field);
        SendMessageW(field, EM_SETSEL, 0, -1);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
            auto* prompt = reinterpret_cast<Prompt*>(GetWindowLongPtrW(dialog, DWLP_USER));
            const HWND field = GetDlgItem(dialog, kField);
            std::wstring value(static_cast<std::size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
            value.resize(
                static_cast<std::size_t>(GetWindowTextW(field, value.data(), static_cast<int>(value.size()))));
            prompt->Value = value;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

}  // namespace

std::optional<std::string> AskText(HWND owner, const std::string& caption, const std::string& prompt,
                                   const std::string& current)
{
    Prompt asked{Widen(prompt), Widen(current)};
    if (RunDialog(owner, DialogTemplate(Widen(caption), kWidth, kHeight), PromptProc,
                  reinterpret_cast<LPARAM>(&asked)) != IDOK)
        return std::nullopt;
    return Narrow(asked.Value);
}

}  // namespace varnox
