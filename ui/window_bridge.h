#pragma once
// The engine's view of the main window. The engine calls it from its worker
// thread; every operation is handed to the window's thread in the order it
// was made. A message box blocks the engine until the user has closed it.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "core/window_ops.h"

namespace varnox {

class TForm1;

class WindowBridge final : public WindowOps {
public:
    explicit WindowBridge(TForm1& form) : form_(form) {}
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

    // At most this many operations wait for the window's thread at a time; a
    // fast engine (simulated time) then waits instead of flooding the queue.
    static constexpr int kMaxPending = 64;

private:
    void Post(std::function<void()> operation);
    bool OnWindowThread() const;

    TForm1& form_;
    std::atomic<int> selector_index_{-1};
    std::mutex mutex_;
    std::condition_variable drained_;
    int pending_ = 0;
};

}  // namespace varnox
