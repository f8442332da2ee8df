#include "record/report_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "record/run_report.h"
#include "record/utc_time.h"

namespace varnox {

std::string SaveRunReport(const RunRecord& record, const std::string& file)
{
    const std::string html = RunReportHtml(record);
    errno = 0;
    std::ofstream out(std::filesystem::path(file), std::ios::binary | std::ios::trunc);
    if (!out)
        return "cannot open " + file + ": " + std::generic_category().message(errno ? errno : EIO);
    out.write(html.data(), std::streamsize(html.size()));
    out.close();
    if (!out)
        return "cannot write " + file + ": " + std::generic_category().message(errno ? errno : EIO);
    return {};
}

std::string ReportFileName(const RunRecord& record)
{
    // "2025-03-14T09:26:53Z" -> "20250314-092653"
    std::string stamp = IsoUtc(record.Start);
    stamp.erase(
        std::remove_if(stamp.begin(), stamp.end(), [](char c) { return c == '-' || c == ':' || c == 'Z'; }),
        stamp.end());
    std::replace(stamp.begin(), stamp.end(), 'T', '-');
    return "varnox-report-" + stamp + ".html";
}

}  // namespace varnox
