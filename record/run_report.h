#pragma once
// The report of one run for the panel's maintenance register: a self-contained
// HTML page (inline CSS and SVG, no scripts, no external files) that prints on
// one A4 page. Used by the console tool's --report and the windows' SAVE REPORT.

#include <string>

#include "record/run_record.h"

namespace varnox {

std::string RunReportHtml(const RunRecord& record);

}  // namespace varnox
