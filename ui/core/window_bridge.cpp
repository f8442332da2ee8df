#include "ui/core/window_bridge.h"

namespace varnox {

void WindowBridge::SetButtonEnabled(bool enabled)
{
    queue_.Post([this, enabled] { engine_button_(enabled); });
}

void WindowBridge::ShowBox(const BoxText& box)
{
    // Queued behind everything posted before it, and the engine waits here
    // until the user has closed the box.
    queue_.PostAndWait([this, box] { view_.ShowBox(box); });
}

}  // namespace varnox
