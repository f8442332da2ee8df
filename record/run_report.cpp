// A first cut of the run report: the page's frame and the verdict.

#include "record/run_report.h"

#include "record/run_verdict.h"

namespace varnox {

std::string RunReportHtml(const RunRecord& record)
{
    const RunVerdict verdict = VerdictOf(record.ExitStatus);
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>varnox-patch</title></head><body><p>" +
           std::string(verdict.Text) + "</p></body></html>\n";
}

}  // namespace varnox
