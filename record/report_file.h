#pragma once
// A run's report (record/run_report.h) written to a file, as the console
// tool's --report and the windows' SAVE REPORT do it.

#include <string>

#include "record/run_record.h"

namespace varnox {

// Writes the report of `record` to `file`, replacing it; "" when written,
// else why not ("cannot open FILE: REASON").
std::string SaveRunReport(const RunRecord& record, const std::string& file);

// The name offered for a run's report: "varnox-report-YYYYMMDD-HHMMSS.html"
// (the run's start in UTC).
std::string ReportFileName(const RunRecord& record);

}  // namespace varnox
