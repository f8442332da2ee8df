#include "setup/program_setup.h"

#ifdef _WIN32
#include "comm/win32/serial_win32.h"
#else
#include "comm/linux/serial_linux.h"
#endif
#include "comm/port_map.h"
#include "update/trace_target.h"
#include "update/update_engine.h"

namespace varnox {

namespace {

std::unique_ptr<PortOpener> SystemOpener(const std::vector<PortOverride>& overrides,
                                         [[maybe_unused]] PortNumbering numbering)
{
#ifdef _WIN32
    // The system names its own COMn; only the overrides need a map.
    PortMap map;
    for (const PortOverride& item : overrides)
        map.Map(item.Port, item.Path);
    return std::make_unique<Win32PortOpener>(std::move(map));
#else
    auto opener =
        std::make_unique<PosixPortOpener>(numbering == PortNumbering::System ? PortMap::Discover() : PortMap());
    // Pinned, so that what the port menu learns later leaves them.
    for (const PortOverride& item : overrides)
        opener->Pin(item.Port, item.Path);
    return opener;
#endif
}

}  // namespace

ProgramSetup::ProgramSetup(const std::vector<PortOverride>& overrides, PortNumbering numbering)
    : system_(SystemOpener(overrides, numbering)), tracing_(*system_, clock_)
{
}

ProgramSetup::~ProgramSetup() = default;

bool ProgramSetup::Start(const RunOptions& options, std::string& error)
{
    options_ = options;
    ApplyRunEnvironment(options_);
    if (std::string refusal = TraceTargetRefusal(options_); !refusal.empty()) {
        error = std::move(refusal);
        return false;
    }
    std::string reason;
    if (tracing_.Start(options_.TraceFile, reason))
        return true;
    error = "--trace: " + reason;
    return false;
}

std::string ProgramSetup::TraceFailure()
{
    const std::string failure = tracing_.WriteFailure();
    return failure.empty() ? failure
                           : "--trace " + options_.TraceFile + ": the trace could not be written: " + failure;
}

void ProgramSetup::Prepare(UpdateEngine& engine) const
{
    engine.Options = options_;
}

}  // namespace varnox
