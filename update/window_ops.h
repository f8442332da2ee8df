#pragma once
// What the update shows in the main window. The engine talks to the window
// only through this interface, and only to show things: what a run needs from
// the window (the language choice, the technician) it is given when it starts
// (update/run_start.h). The Qt and Win32 windows implement it in their views,
// the console tool and the tests each stand behind it too. The engine may call
// it from a worker thread: a window that owns real widgets gets the calls on
// its own thread, in order, through the window core's bridge, and ShowBox
// blocks until the user has closed the box.

#include <string>

namespace varnox {

// The four read-only fields of the INFO BOX.
enum class Field { PanelType, Address, FlashAddress, ErrorCounter };

enum class BoxIcon { None, Warning, Error };

struct BoxText {
    BoxIcon Icon = BoxIcon::None;
    std::string Title;
    std::string Text;
    std::string Detail;  // shown apart from the fixed text (why a port could not be opened); may be empty
};

class WindowOps {
public:
    virtual ~WindowOps() = default;

    // The log: append one line (an empty text appends an empty line).
    virtual void LogLine(const std::string& text) = 0;
    // Empties the log completely (no lines at all).
    virtual void ClearLog() = 0;

    // The gauge along the window's bottom edge.
    virtual void SetGaugeVisible(bool visible) = 0;
    virtual void SetGaugeProgress(int progress) = 0;
    virtual void SetGaugeMaximum(int maximum) = 0;
    virtual void RepaintGauge() = 0;

    // The INFO BOX's fields.
    virtual void SetFieldText(Field field, const std::string& text) = 0;

    // Whether the update button may be pressed again.
    virtual void SetButtonEnabled(bool enabled) = 0;

    // A modal box with one OK button; returns when it has been closed.
    virtual void ShowBox(const BoxText& box) = 0;
};

}  // namespace varnox
