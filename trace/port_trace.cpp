#include "trace/port_trace.h"

namespace varnox {

bool PortTrace::Open(const std::string& path, std::string& error)
{
    const std::lock_guard lock(mutex_);
    return transcript_.Open(path, clock_.Now(), "port events", error);
}

void PortTrace::Close()
{
    const std::lock_guard lock(mutex_);
    transcript_.Close();
}

void PortTrace::Wrote(std::span<const uint8_t> bytes)
{
    const std::lock_guard lock(mutex_);
    transcript_.Log(WireDirection::ToPanel, clock_.Now(), bytes);
}

void PortTrace::Read(std::span<const uint8_t> bytes)
{
    const std::lock_guard lock(mutex_);
    transcript_.Log(WireDirection::ToTool, clock_.Now(), bytes);
}

void PortTrace::Event(const std::string& text)
{
    const std::lock_guard lock(mutex_);
    transcript_.Note(clock_.Now(), text);
}

std::string PortTrace::WriteFailure()
{
    const std::lock_guard lock(mutex_);
    return transcript_.WriteFailure();
}

}  // namespace varnox
