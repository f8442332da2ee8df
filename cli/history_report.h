#pragma once
// What varnox-patch-cli --history prints: the run record as a table.

#include <string>

namespace varnox {

struct HistoryAnswer {
    int ExitStatus = 0;
    std::string Out;  // the table, or a line saying no run is recorded yet
    std::string Err;  // why the record could not be read
};

// `file`: the record given on the command line; empty for the per-user one.
HistoryAnswer HistoryOf(const std::string& file);

}  // namespace varnox
