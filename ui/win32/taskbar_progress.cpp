#include "ui/win32/taskbar_progress.h"

#include <objbase.h>
#include <shobjidl.h>

#include <algorithm>

namespace varnox {

TaskbarProgress::~TaskbarProgress()
{
    if (taskbar_ != nullptr)
        taskbar_->Release();
}

UINT TaskbarProgress::ButtonCreatedMessage()
{
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

void TaskbarProgress::Attach(HWND window)
{
    window_ = window;
    if (taskbar_ == nullptr) {
        ITaskbarList3* taskbar = nullptr;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                    reinterpret_cast<void**>(&taskbar))))
            return;
        if (FAILED(taskbar->HrInit())) {
            taskbar->Release();
            return;
        }
        taskbar_ = taskbar;
    }
    // Explorer restarted: the new button shows what the old one did.
    Apply();
}

void TaskbarProgress::RunStarted()
{
    running_ = true;
    error_ = false;
    progress_ = 0;
    Apply();
}

void TaskbarProgress::SetProgress(int progress, int maximum)
{
    progress_ = progress;
    maximum_ = maximum;
    if (running_)
        Apply();
}

void TaskbarProgress::RunEnded(bool panel_changed)
{
    running_ = false;
    error_ = panel_changed;
    Apply();
}

void TaskbarProgress::Apply()
{
    if (taskbar_ == nullptr || window_ == nullptr)
        return;
    if (error_) {
        // A full red bar: the run is over, and its ending needs the technician.
        taskbar_->SetProgressState(window_, TBPF_ERROR);
        taskbar_->SetProgressValue(window_, 1, 1);
    } else if (running_ && maximum_ > 0) {
        taskbar_->SetProgressState(window_, TBPF_NORMAL);
        taskbar_->SetProgressValue(window_, static_cast<ULONGLONG>(std::clamp(progress_, 0, maximum_)),
                                   static_cast<ULONGLONG>(maximum_));
    } else {
        taskbar_->SetProgressState(window_, TBPF_NOPROGRESS);
    }
}

}  // namespace varnox
