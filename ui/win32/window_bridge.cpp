#include "ui/win32/window_bridge.h"

#include <future>
#include <memory>

#include "ui/win32/form1.h"
#include "ui/win32/wide_text.h"

namespace varnox {

void WindowBridge::Attach(HWND window)
{
    window_thread_ = GetWindowThreadProcessId(window, nullptr);
    window_ = window;
}

void WindowBridge::Post(Operation operation)
{
    const HWND window = window_.load();
    if (window == nullptr || GetCurrentThreadId() == window_thread_.load()) {
        operation();
        return;
    }
    {
        std::unique_lock<std::mutex> lock(mutex_);
        drained_.wait(lock, [this] { return pending_ < kMaxPending; });
        ++pending_;
    }
    auto posted = std::make_unique<Operation>(std::move(operation));
    if (PostMessageW(window, kOperationMessage, 0, reinterpret_cast<LPARAM>(posted.get()))) {
        posted.release();  // the window's thread owns it now
        return;
    }
    // The window is gone: nobody is left to show anything.
    std::lock_guard<std::mutex> lock(mutex_);
    --pending_;
}

void WindowBridge::RunPosted(LPARAM operation)
{
    const std::unique_ptr<Operation> posted(reinterpret_cast<Operation*>(operation));
    (*posted)();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --pending_;
    }
    drained_.notify_all();
}

void WindowBridge::LogLine(const std::string& text)
{
    Post([this, line = Widen(text)] { form_.LogLine(line); });
}

void WindowBridge::ClearLog()
{
    Post([this] { form_.ClearLog(); });
}

void WindowBridge::SetGaugeVisible(bool visible)
{
    Post([this, visible] { form_.SetGaugeVisible(visible); });
}

void WindowBridge::SetGaugeProgress(int progress)
{
    Post([this, progress] { form_.Gauge1.SetProgress(progress); });
}

void WindowBridge::SetGaugeMaximum(int maximum)
{
    Post([this, maximum] { form_.Gauge1.SetMaximum(maximum); });
}

void WindowBridge::RepaintGauge()
{
    Post([this] { UpdateWindow(form_.Gauge1.Handle()); });
}

void WindowBridge::SetFieldText(Field field, const std::string& text)
{
    Post([this, field, value = Widen(text)] { form_.SetFieldText(field, value); });
}

void WindowBridge::SetButtonEnabled(bool enabled)
{
    Post([this, enabled] { form_.SetEngineButtonEnabled(enabled); });
}

void WindowBridge::MessageBox(BoxKind kind, const std::string& title, const std::string& text,
                              const std::string& detail)
{
    // Queued behind everything posted before it; the engine waits here
    // until the user has closed the box (or the window is gone).
    auto closed = std::make_shared<std::promise<void>>();
    std::future<void> done = closed->get_future();
    Post([this, kind, title, text, detail, closed] {
        form_.ShowBox(kind, Widen(title), Widen(text), Widen(detail));
        closed->set_value();
    });
    // A box that was never posted leaves its promise unkept: the wait ends
    // when the last copy of the operation is destroyed.
    try {
        done.get();
    } catch (const std::future_error&) {
    }
}

}  // namespace varnox
