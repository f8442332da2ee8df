// The window's menus after the port menu and what they lead to: check marks
// and greying from the core's item states, the dialogs the core asks for
// (trace and report files, the technician, the run history, ABOUT), the
// verdict band and the taskbar button's progress.

#include <windows.h>

#include "ui/win32/file_choice.h"
#include "ui/win32/history_dialog.h"
#include "ui/win32/main_window.h"
#include "ui/win32/text_prompt.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_menu_bar.h"

namespace varnox {

void MainWindow::RefreshMenus()
{
    if (hwnd_ == nullptr)
        return;
    ShowMenuStates(GetMenu(hwnd_), [this](MenuCommand command) { return core_.ItemState(command); });
    DrawMenuBar(hwnd_);
}

std::string MainWindow::ChooseTraceFile()
{
    return ChooseSaveFile(hwnd_, SavedFile::Trace, "varnox-trace.txt");
}

std::optional<std::string> MainWindow::AskTechnician(const std::string& current)
{
    auto name =
        AskText(hwnd_, "TECHNICIAN...", "Technician's name, kept for the run record and the report:", current);
    if (name) {
        // Spaces around the name are a slip of the keyboard, not part of it.
        name->erase(0, name->find_first_not_of(' '));
        name->erase(name->find_last_not_of(' ') + 1);
    }
    return name;
}

std::string MainWindow::ChooseReportFile(const std::string& suggested_name)
{
    return ChooseSaveFile(hwnd_, SavedFile::Report, suggested_name);
}

int MainWindow::ShowHistory(const std::vector<std::string>& header,
                            const std::vector<std::vector<std::string>>& rows)
{
    return ShowHistoryDialog(hwnd_, header, rows);
}

bool MainWindow::AskOpenReport(const std::string& path)
{
    const std::string question = "Report saved to " + path + ".\n\nOpen it in the browser?";
    return MessageBoxW(hwnd_, Widen(question).c_str(), Widen(kProgramName).c_str(), MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

void MainWindow::OpenInBrowser(const std::string& path)
{
    if (!OpenWithDefaultProgram(hwnd_, path))
        MessageBoxW(hwnd_, Widen("No program opens " + path).c_str(), Widen(kProgramName).c_str(),
                    MB_OK | MB_ICONWARNING);
}

void MainWindow::ShowAbout(const std::string& text)
{
    MessageBoxW(hwnd_, Widen(text).c_str(), L"ABOUT", MB_OK | MB_ICONINFORMATION);
}

void MainWindow::ShowVerdictBand(VerdictColour colour, const std::string& text)
{
    // The band takes the gauge's place; the gauge comes back with the next run.
    ShowWindow(ProgressGauge.Handle(), SW_HIDE);
    Verdict.Show(colour, text);
}

void MainWindow::HideVerdictBand()
{
    Verdict.Hide();
}

}  // namespace varnox
