#pragma once
// What each program sets up before its first run, alike for the console tool
// and both windows: the system's port opener with the ports the command line
// maps to devices, the clock, the port's trace, and the run options with what
// the environment adds.

#include <memory>
#include <string>
#include <vector>

#include "comm/serial_device.h"
#include "core/interruptible_clock.h"
#include "trace/traced_device.h"
#include "update/run_options.h"

namespace varnox {

class UpdateEngine;

// A port the command line maps to a device: a window's COMn=DEVICE, or the
// device path the console tool is given, as COM1.
struct PortOverride {
    int Port = 0;
    std::string Path;
};

// What the port numbers that are not overridden reach.
enum class PortNumbering {
    System,         // COMn is the system's COMn on Windows, the n-th port found on Linux
    OverridesOnly,  // nothing: the console tool given a device path needs no search
};

class ProgramSetup {
public:
    ProgramSetup(const std::vector<PortOverride>& overrides, PortNumbering numbering);
    ~ProgramSetup();
    ProgramSetup(const ProgramSetup&) = delete;
    ProgramSetup& operator=(const ProgramSetup&) = delete;

    // Takes the command line's run options, adds the environment's, and starts
    // the trace they ask for. False with what to say (a usage error) when the
    // trace file cannot be created or is the run record's file.
    bool Start(const RunOptions& options, std::string& error);
    // Hands the run options to `engine`.
    void Prepare(UpdateEngine& engine) const;

    // The opener the engine is given: through the trace when there is one.
    PortOpener& Opener() { return tracing_.Opener(); }
    // The real clock; the console tool cuts its pauses short when stopped.
    InterruptibleClock& Time() { return clock_; }
    const RunOptions& Options() const { return options_; }
    // What the system's opener has left to say at the end (a lock it could
    // not remove); empty for nothing.
    std::string LastWarning() const { return system_->LastWarning(); }
    // Why the trace stopped being written during the runs ("--trace FILE: the
    // trace could not be written: REASON"); empty when it was not.
    std::string TraceFailure();

private:
    InterruptibleClock clock_;
    std::unique_ptr<PortOpener> system_;
    PortTracing tracing_;
    RunOptions options_;
};

}  // namespace varnox
