#pragma once
// What the portable window core asks of a window's shell (the Qt window, the
// native Win32 window): widgets, painting and the shell's own thread. The
// shell shows the engine's operations itself (WindowOps); the core hands
// them over on the window's thread. Every call but WakeWindowThread comes on
// the window's thread.

#include <optional>
#include <string>
#include <vector>

#include "record/run_verdict.h"
#include "ui/core/port_probe.h"
#include "update/window_ops.h"

namespace varnox {

class MainWindowView : public WindowOps {
public:
    // Any thread: have the window's thread call WindowCore::ServeOperations soon.
    virtual void WakeWindowThread() = 0;
    // Handles the window's pending events without waiting for more.
    virtual void ServeEvents() = 0;

    // The engine's word on the update button goes to the core, which shows
    // it with EnableRunControls once no run holds the button.
    void SetButtonEnabled(bool) final {}

    // The update button and the port menu as the run state allows.
    virtual void EnableRunControls(bool button, bool port_menu) = 0;
    // Item n of the port menu, as the last probe found port n.
    virtual void EnablePortItem(int port, bool enabled) = 0;
    // The menu as the last probe found it: what each item leads to (its
    // tooltip) and the items after the eight, which replace those shown before.
    virtual void ShowPortMenu(const PortMenuModel& menu) { (void)menu; }
    virtual void SetButtonText(const std::string& text) = 0;
    virtual void SetInfoBoxVisible(bool visible) = 0;
    // The language selector's item: -1 when none is chosen.
    virtual int SelectorIndex() const = 0;

    // A run has ended and the window shows its ending.
    virtual void RunEnded() {}

    // The menus after the port menu (ui/core/window_menus.h). A shell that
    // lacks one of these still compiles; the defaults answer "cancelled".
    // Every entry's state is to be read again (MainWindowCore::ItemState).
    virtual void RefreshMenus() {}
    // WRITE TRACE...: the file to trace into; "" when cancelled.
    virtual std::string ChooseTraceFile() { return {}; }
    // TECHNICIAN...: the name to keep; std::nullopt when cancelled.
    virtual std::optional<std::string> AskTechnician(const std::string& current)
    {
        (void)current;
        return std::nullopt;
    }
    // Where to save a report, `suggested_name` offered; "" when cancelled.
    virtual std::string ChooseReportFile(const std::string& suggested_name)
    {
        (void)suggested_name;
        return {};
    }
    // RUN HISTORY...: the table (rows newest first); the row whose report is
    // to be saved, or -1.
    virtual int ShowHistory(const std::vector<std::string>& header,
                            const std::vector<std::vector<std::string>>& rows)
    {
        (void)header;
        (void)rows;
        return -1;
    }
    // "Open it in the browser?" after a report was saved.
    virtual bool AskOpenReport(const std::string& path)
    {
        (void)path;
        return false;
    }
    virtual void OpenInBrowser(const std::string& path) { (void)path; }
    virtual void ShowAbout(const std::string& text) { (void)text; }
    // The verdict band in the gauge's place, until the next run starts.
    virtual void ShowVerdictBand(VerdictColour colour, const std::string& text)
    {
        (void)colour;
        (void)text;
    }
    virtual void HideVerdictBand() {}
};

}  // namespace varnox
