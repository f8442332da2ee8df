#include "ui/window_bridge.h"

#include <QMetaObject>
#include <QThread>

#include "ui/form1.h"

namespace varnox {

bool WindowBridge::OnWindowThread() const
{
    return QThread::currentThread() == form_.thread();
}

void WindowBridge::Post(std::function<void()> operation)
{
    if (OnWindowThread()) {
        operation();
        return;
    }
    {
        std::unique_lock<std::mutex> lock(mutex_);
        drained_.wait(lock, [this] { return pending_ < kMaxPending; });
        ++pending_;
    }
    QMetaObject::invokeMethod(
        &form_,
        [this, operation = std::move(operation)] {
            operation();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                --pending_;
            }
            drained_.notify_all();
        },
        Qt::QueuedConnection);
}

void WindowBridge::LogLine(const std::string& text)
{
    Post([this, line = QString::fromStdString(text)] { form_.LogLine(line); });
}

void WindowBridge::ClearLog()
{
    Post([this] { form_.ClearLog(); });
}

void WindowBridge::SetGaugeVisible(bool visible)
{
    Post([this, visible] { form_.Gauge1->setVisible(visible); });
}

void WindowBridge::SetGaugeProgress(int progress)
{
    Post([this, progress] { form_.Gauge1->SetProgress(progress); });
}

void WindowBridge::SetGaugeMaximum(int maximum)
{
    Post([this, maximum] { form_.Gauge1->SetMaximum(maximum); });
}

void WindowBridge::RepaintGauge()
{
    // The window repaints on its own thread; asking is enough.
    Post([this] { form_.Gauge1->update(); });
}

void WindowBridge::SetFieldText(Field field, const std::string& text)
{
    Post([this, field, value = QString::fromStdString(text)] { form_.SetFieldText(field, value); });
}

void WindowBridge::SetButtonEnabled(bool enabled)
{
    Post([this, enabled] { form_.SetEngineButtonEnabled(enabled); });
}

void WindowBridge::MessageBox(BoxKind kind, const std::string& title, const std::string& text,
                              const std::string& detail)
{
    BoxRequest box;
    box.Icon = kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
    box.Title = QString::fromStdString(title);
    box.Text = QString::fromStdString(text);
    box.Detail = QString::fromStdString(detail);
    if (OnWindowThread()) {
        form_.ShowBox(box);
        return;
    }
    // Queued behind everything posted before it, and the engine waits here
    // until the user has closed the box.
    QMetaObject::invokeMethod(&form_, [this, &box] { form_.ShowBox(box); },
                              Qt::BlockingQueuedConnection);
}

}  // namespace varnox
