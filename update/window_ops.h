#pragma once
// What the update uses of the main window. The engine talks to the window only
// through this interface, so the Qt window, the console tool and the tests can
// each stand behind it. The engine may call it from a worker thread: an
// implementation that owns real widgets must marshal the calls to its thread,
// keep their order, and make MessageBox block until the user has closed it.

#include <string>

#ifdef _WIN32
// windows.h turns MessageBox into a macro; included here first, it can be
// undone for good, so the method below keeps its name in every file.
#include <windows.h>
#undef MessageBox
#endif

namespace varnox {

// The four read-only fields of the INFO BOX.
enum class Field { PanelType, Address, FlashAddress, ErrorCounter };

enum class BoxKind {
    Error,  // title "Error", error icon (the port that cannot be opened)
    Plain,  // titled with the program's name, no icon (failed bootloader packets)
};

class WindowOps {
public:
    virtual ~WindowOps() = default;

    // Log `Messaggio`: append one line (an empty text appends an empty line).
    virtual void LogLine(const std::string& text) = 0;
    // Empties the log completely (no lines at all).
    virtual void ClearLog() = 0;

    // Gauge `Gauge1`.
    virtual void SetGaugeVisible(bool visible) = 0;
    virtual void SetGaugeProgress(int progress) = 0;
    virtual void SetGaugeMaximum(int maximum) = 0;
    virtual void RepaintGauge() = 0;

    // Texts of `panelTypebox`, `Address`, `FlashAddress`, `ErrorCounter`.
    virtual void SetFieldText(Field field, const std::string& text) = 0;

    // Enabled state of `Button5`.
    virtual void SetButtonEnabled(bool enabled) = 0;

    // A modal box with one OK button; returns when it has been closed.
    // `detail` is extra information (for example why a port could not be
    // opened) shown apart from the box's fixed text; it may be empty.
    virtual void MessageBox(BoxKind kind, const std::string& title, const std::string& text,
                            const std::string& detail) = 0;

    // One pass of the message pump: let the window handle what is pending.
    virtual void PumpMessages() = 0;

    // Item index of the language selector `ComboBox1`: -1 when none is chosen.
    virtual int SelectorIndex() = 0;
};

}  // namespace varnox
