#include "ui/win32/history_dialog.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/win32/dialog_template.h"
#include "ui/win32/wide_text.h"

namespace varnox {

namespace {

struct HistoryTable {
    const std::vector<std::string>* Header;
    const std::vector<std::vector<std::string>>* Rows;
};

// In dialog units.
constexpr short kWidth = 520;
constexpr short kHeight = 230;
constexpr int kButtonWidth = 70;
constexpr int kButtonHeight = 14;

int ChosenRow(HWND dialog)
{
    return static_cast<int>(
        SendDlgItemMessageW(dialog, kHistoryList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void FillList(HWND list, const HistoryTable& table)
{
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (std::size_t column = 0; column < table.Header->size(); ++column) {
        std::wstring title = Widen((*table.Header)[column]);
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_SUBITEM;
        entry.pszText = title.data();
        entry.iSubItem = static_cast<int>(column);
        SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&entry));
    }
    for (std::size_t row = 0; row < table.Rows->size(); ++row) {
        const std::vector<std::string>& cells = (*table.Rows)[row];
        for (std::size_t column = 0; column < cells.size() && column < table.Header->size(); ++column) {
            std::wstring text = Widen(cells[column]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(row);
            item.iSubItem = static_cast<int>(column);
            item.pszText = text.data();
            SendMessageW(list, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, row,
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    // Each column as wide as the wider of its title and its widest cell,
    // with the list's own margins (AUTOSIZE leaves titles cut short).
    for (std::size_t column = 0; column < table.Header->size(); ++column) {
        const auto width = [list](const std::string& text) {
            return static_cast<int>(
                SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(Widen(text).c_str())));
        };
        int widest = width((*table.Header)[column]);
        for (const std::vector<std::string>& cells : *table.Rows)
            if (column < cells.size())
                widest = std::max(widest, width(cells[column]));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, column, widest + 16);
    }
}

INT_PTR CALLBACK HistoryProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const auto& table = *reinterpret_cast<const HistoryTable*>(lparam);
        const int bottom = kHeight - 7 - kButtonHeight;
        const HWND list = AddDialogControl(dialog, WC_LISTVIEWW, L"",
                                           WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                                           kHistoryList, {7, 7, kWidth - 7, bottom - 7});
        FillList(list, table);
        const HWND save = AddDialogControl(
            dialog, L"BUTTON", L"SAVE REPORT...", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
            {kWidth - 14 - 2 * kButtonWidth, bottom, kWidth - 14 - kButtonWidth, bottom + kButtonHeight});
        AddDialogControl(dialog, L"BUTTON", L"CLOSE", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL,
                         {kWidth - 7 - kButtonWidth, bottom, kWidth - 7, bottom + kButtonHeight});
        // The newest run, first in the table, is the one chosen at first.
        if (!table.Rows->empty()) {
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
        }
        EnableWindow(save, table.Rows->empty() ? FALSE : TRUE);
        SetFocus(list);
        return FALSE;  // the focus is set
    }
    case WM_NOTIFY: {
        const auto* note = reinterpret_cast<const NMHDR*>(lparam);
        if (note->idFrom == static_cast<UINT_PTR>(kHistoryList) && note->code == LVN_ITEMCHANGED)
            EnableWindow(GetDlgItem(dialog, IDOK), ChosenRow(dialog) >= 0 ? TRUE : FALSE);
        if (note->idFrom == static_cast<UINT_PTR>(kHistoryList) && note->code == NM_DBLCLK &&
            ChosenRow(dialog) >= 0)
            EndDialog(dialog, ChosenRow(dialog));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK && ChosenRow(dialog) >= 0) {
            EndDialog(dialog, ChosenRow(dialog));
            return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, -1);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

}  // namespace

int ShowHistoryDialog(HWND owner, const std::vector<std::string>& header,
                      const std::vector<std::vector<std::string>>& rows)
{
    HistoryTable table{&header, &rows};
    const INT_PTR chosen = RunDialog(owner, DialogTemplate(kHistoryCaption, kWidth, kHeight), HistoryProc,
                                     reinterpret_cast<LPARAM>(&table));
    return chosen >= 0 && static_cast<std::size_t>(chosen) < rows.size() ? static_cast<int>(chosen) : -1;
}

}  // namespace varnox
