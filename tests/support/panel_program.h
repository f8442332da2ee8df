#pragma once
// varnox-panel-sim run as a child for one test: started with its options, its
// first stdout line (the pseudo-terminal's path) read within a deadline, ended
// by a signal or by itself, its exit status and output collected.

#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace varnox::testing {

class PanelProgram {
public:
    // Starts `program` with `options`; Port() is empty when it did not come up.
    PanelProgram(const std::string& program, std::vector<std::string> options);

    const std::string& Port() const { return port_; }
    // The next stdout line (the port announced after an adapter's return);
    // empty when none comes within `timeout_seconds`.
    std::string NextLine(double timeout_seconds);
    void Signal(int signal_number) { child_.Signal(signal_number); }
    // Waits for its end (killing it after `timeout_seconds`) and collects what
    // it wrote; a program that did not start tells why in `err`.
    ChildResult Finish(double timeout_seconds = 30.0);
    // Asks it to end (SIGTERM), then Finish().
    ChildResult Stop();

private:
    ChildProcess child_;
    std::string port_;
    std::string start_error_;
};

}  // namespace varnox::testing
