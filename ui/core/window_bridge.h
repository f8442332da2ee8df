#pragma once
// The engine's view of the main window. The engine calls it from its worker
// thread; every operation is handed to the window's thread through the
// operation queue, in the order it was made. A message box blocks the engine
// until the user has closed it.

#include <atomic>
#include <functional>
#include <string>

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

    void LogLine(const std::string& text) override;
    void ClearLog() override;
    void SetGaugeVisible(bool visible) override;
    void SetGaugeProgress(int progress) override;
    void SetGaugeMaximum(int maximum) override;
    void RepaintGauge() override;
    void SetFieldText(Field field, const std::string& text) override;
    void SetButtonEnabled(bool enabled) override;
    void MessageBox(BoxKind kind, const std::string& title, const std::string& text,
                    const std::string& detail) override;
    // The window's thread runs its own event loop, so there is nothing to pump.
    void PumpMessages() override {}
    int SelectorIndex() override { return selector_index_.load(); }

    // Window's thread: ComboBox1's index, kept for the engine's thread.
    void CacheSelectorIndex(int index) { selector_index_.store(index); }

private:
    OperationQueue& queue_;
    MainWindowView& view_;
    std::function<void(bool)> engine_button_;
    std::atomic<int> selector_index_{-1};
};

}  // namespace varnox
