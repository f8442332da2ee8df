#pragma once
// The engine's view of the main window. The engine calls it from its worker
// thread; every operation is handed to the view on the window's thread
// through the operation queue, in the order it was made. A box blocks the
// engine until the user has closed it. The button's state goes to the core,
// which alone decides what the button shows.

#include <functional>
#include <string>
#include <type_traits>

#include "ui/core/main_window_view.h"
#include "ui/core/operation_queue.h"
#include "update/window_ops.h"

namespace varnox {

class WindowBridge final : public WindowOps {
public:
    // `engine_button` receives SetButtonEnabled on the window's thread.
    WindowBridge(OperationQueue& queue, MainWindowView& view, std::function<void(bool)> engine_button)
        : queue_(queue), view_(view), engine_button_(std::move(engine_button))
    {
    }
    WindowBridge(const WindowBridge&) = delete;
    WindowBridge& operator=(const WindowBridge&) = delete;

    void LogLine(const std::string& text) override { Forward(&WindowOps::LogLine, text); }
    void ClearLog() override { Forward(&WindowOps::ClearLog); }
    void SetGaugeVisible(bool visible) override { Forward(&WindowOps::SetGaugeVisible, visible); }
    void SetGaugeProgress(int progress) override { Forward(&WindowOps::SetGaugeProgress, progress); }
    void SetGaugeMaximum(int maximum) override { Forward(&WindowOps::SetGaugeMaximum, maximum); }
    void RepaintGauge() override { Forward(&WindowOps::RepaintGauge); }
    void SetFieldText(Field field, const std::string& text) override
    {
        Forward(&WindowOps::SetFieldText, field, text);
    }
    void SetButtonEnabled(bool enabled) override;
    void ShowBox(const BoxText& box) override;

private:
    // Calls `operation` on the view on the window's thread, with copies of `args`.
    template <typename... Params, typename... Args>
    void Forward(void (WindowOps::*operation)(Params...), Args&&... args)
    {
        queue_.Post([this, operation, ... values = std::decay_t<Args>(std::forward<Args>(args))] {
            WindowOps& view = view_;
            (view.*operation)(values...);
        });
    }

    OperationQueue& queue_;
    MainWindowView& view_;
    std::function<void(bool)> engine_button_;
};

}  // namespace varnox
