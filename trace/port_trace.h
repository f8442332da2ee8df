#pragma once
// The trace of one run (--trace FILE): every byte the tool wrote and read, and
// what happened to the port, as lines of a wire transcript so that a field
// trace reads next to the simulated panel's. Shared by the traced opener and
// its devices, which may be used from the window's thread and the engine's.

#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "core/clock.h"
#include "trace/wire_transcript.h"

namespace varnox {

class PortTrace {
public:
    // `clock` must outlive the trace; its time at Open() is the trace's zero.
    explicit PortTrace(Clock& clock) : clock_(clock) {}

    // Creates (or empties) the file; false with the reason on failure.
    bool Open(const std::string& path, std::string& error);
    // Ends the file; what comes after is not traced until the next Open.
    void Close();

    void Wrote(std::span<const uint8_t> bytes);
    void Read(std::span<const uint8_t> bytes);
    void Event(const std::string& text);
    // Why the first write to the file failed; empty while none did.
    std::string WriteFailure();

private:
    Clock& clock_;
    std::mutex mutex_;
    WireTranscript transcript_;
};

}  // namespace varnox
