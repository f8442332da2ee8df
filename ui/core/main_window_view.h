#pragma once
// What the portable window core asks of a window's shell (the Qt window, the
// native Win32 window): widgets, painting and the shell's own thread. Every
// call but WakeWindowThread comes on the window's thread.

#include <string>

#include "ui/core/port_probe.h"
#include "update/window_ops.h"

namespace varnox {

enum class BoxIcon { None, Warning, Error };

struct BoxText {
    BoxIcon Icon = BoxIcon::None;
    std::string Title;
    std::string Text;
    std::string Detail;  // shown apart from the fixed text; may be empty
};

class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    // Any thread: have the window's thread call WindowCore::ServeOperations soon.
    virtual void WakeWindowThread() = 0;
    // Handles the window's pending events without waiting for more.
    virtual void ServeEvents() = 0;
    // A modal box with one OK button; returns when the user has closed it.
    virtual void ShowBox(const BoxText& box) = 0;

    // The engine's window operations (see WindowOps), on the window's thread.
    virtual void LogLine(const std::string& text) = 0;
    virtual void ClearLog() = 0;
    virtual void SetGaugeVisible(bool visible) = 0;
    virtual void SetGaugeProgress(int progress) = 0;
    virtual void SetGaugeMaximum(int maximum) = 0;
    virtual void RepaintGauge() = 0;
    virtual void SetFieldText(Field field, const std::string& text) = 0;

    // Button5 and the port menu as the run state allows.
    virtual void EnableRunControls(bool button, bool port_menu) = 0;
    // Item n of the port menu, as the last probe found port n.
    virtual void EnablePortItem(int port, bool enabled) = 0;
    // The menu as the last probe found it: what each item leads to (its
    // tooltip) and the items after the eight, which replace those shown before.
    virtual void ShowPortMenu(const PortMenuModel& menu) { (void)menu; }
    virtual void SetButtonText(const std::string& text) = 0;
    virtual void SetInfoBoxVisible(bool visible) = 0;

    // A run has ended and the window shows its ending.
    virtual void RunEnded() {}
};

}  // namespace varnox
