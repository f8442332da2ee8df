#include "ui/core/window_bridge.h"

namespace varnox {

void WindowBridge::LogLine(const std::string& text)
{
    queue_.Post([this, text] { view_.LogLine(text); });
}

void WindowBridge::ClearLog()
{
    queue_.Post([this] { view_.ClearLog(); });
}

void WindowBridge::SetGaugeVisible(bool visible)
{
    queue_.Post([this, visible] { view_.SetGaugeVisible(visible); });
}

void WindowBridge::SetGaugeProgress(int progress)
{
    queue_.Post([this, progress] { view_.SetGaugeProgress(progress); });
}

void WindowBridge::SetGaugeMaximum(int maximum)
{
    queue_.Post([this, maximum] { view_.SetGaugeMaximum(maximum); });
}

void WindowBridge::RepaintGauge()
{
    queue_.Post([this] { view_.RepaintGauge(); });
}

void WindowBridge::SetFieldText(Field field, const std::string& text)
{
    queue_.Post([this, field, text] { view_.SetFieldText(field, text); });
}

void WindowBridge::SetButtonEnabled(bool enabled)
{
    queue_.Post([this, enabled] { engine_button_(enabled); });
}

void WindowBridge::MessageBox(BoxKind kind, const std::string& title, const std::string& text,
                              const std::string& detail)
{
    BoxText box{kind == BoxKind::Error ? BoxIcon::Error : BoxIcon::None, title, text, detail};
    // Queued behind everything posted before it, and the engine waits here
    // until the user has closed the box.
    queue_.PostAndWait([this, box = std::move(box)] { view_.ShowBox(box); });
}

}  // namespace varnox
