#pragma once
// RUN HISTORY...: the run record as a table (a report list view), newest
// first, and a button that saves the chosen run's report.

#include <windows.h>

#include <string>
#include <vector>

namespace varnox {

// The dialog's caption; the Wine tests find the dialog by it.
inline constexpr const wchar_t* kHistoryCaption = L"RUN HISTORY...";
// The list view's id in the dialog.
inline constexpr int kHistoryList = 300;

// Modal. Returns the row (index into `rows`) whose report the user wants
// saved, or -1 when the dialog was closed without one.
int ShowHistoryDialog(HWND owner, const std::vector<std::string>& header,
                      const std::vector<std::vector<std::string>>& rows);

}  // namespace varnox
