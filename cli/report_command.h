#pragma once
// What varnox-patch-cli --report does: the report of one recorded run, written
// to a file.

#include <string>

namespace varnox {

struct ReportAnswer {
    int ExitStatus = 0;
    std::string Out;  // where the report went
    std::string Err;  // why there is none: one line
};

// `record`: the record file given; empty for the per-user one. `run`: the
// run's number as --history numbers them (1 the oldest); 0 for the last.
ReportAnswer WriteRunReport(const std::string& record, int run, const std::string& file);

}  // namespace varnox
