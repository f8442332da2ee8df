#pragma once
// The gauge's progress on the program's taskbar button while a run lasts
// (ITaskbarList3), red after an ending that left the panel changed, cleared
// when the next run starts. Where the shell has no taskbar (or Windows is
// older than 7) every call does nothing.

#include <windows.h>

struct ITaskbarList3;

namespace varnox {

class TaskbarProgress {
public:
    TaskbarProgress() = default;
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;
    ~TaskbarProgress();

    // The message the shell sends `window` once its taskbar button exists;
    // only then can the button be given progress.
    static UINT ButtonCreatedMessage();
    // On that message: takes the taskbar for `window`'s button.
    void Attach(HWND window);

    // A run starts: the button shows the gauge from now on.
    void RunStarted();
    void SetProgress(int progress, int maximum);
    // `panel_changed`: the panel was left changed and unusable, the button
    // stays red until the next run; else the button is plain again.
    void RunEnded(bool panel_changed);

private:
    void Apply();

    HWND window_ = nullptr;
    ITaskbarList3* taskbar_ = nullptr;
    int progress_ = 0;
    int maximum_ = 0;
    bool running_ = false;
    bool error_ = false;
};

}  // namespace varnox
