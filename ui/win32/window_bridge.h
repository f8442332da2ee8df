#pragma once
// The engine's view of the native window. The engine calls it from its
// worker thread; every operation is posted to the window's thread as a
// message, so operations arrive in the order they were made. A message box
// blocks the engine until the user has closed it.

#include <windows.h>

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

    // The window that runs the operations, once it exists, and its thread.
    void Attach(HWND window);

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
    // The window's thread runs its own message loop, so there is nothing to pump.
    void PumpMessages() override {}
    // ComboBox1 is never shown, so nothing is ever chosen in it.
    int SelectorIndex() override { return -1; }

    // The message that carries one operation; the window's procedure hands
    // its LPARAM to RunPosted.
    static constexpr UINT kOperationMessage = WM_APP + 1;
    void RunPosted(LPARAM operation);

    // At most this many operations wait for the window's thread at a time; a
    // fast engine then waits instead of flooding the message queue.
    static constexpr int kMaxPending = 64;

private:
    using Operation = std::function<void()>;
    void Post(Operation operation);

    TForm1& form_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<DWORD> window_thread_{0};
    std::mutex mutex_;
    std::condition_variable drained_;
    int pending_ = 0;
};

}  // namespace varnox
