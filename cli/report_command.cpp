#include "cli/report_command.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "record/record_file.h"
#include "record/run_report.h"

namespace varnox {

namespace {

ReportAnswer Refused(std::string why)
{
    return {1, "", "report not written: " + why + "\n"};
}

}  // namespace

ReportAnswer WriteRunReport(const std::string& record, int run, const std::string& file)
{
    std::optional<std::filesystem::path> path;
    if (!record.empty())
        path = std::filesystem::path(record);
    else
        path = DefaultRecordPath();
    if (!path)
        return Refused(
            "no per-user folder for the run record (HOME or LOCALAPPDATA not set); --record FILE names one");
    const RecordReadResult read = ReadRecords(*path);
    if (read.Missing)
        return Refused("no run recorded yet in " + path->string());
    if (!read.Read)
        return Refused(read.Error);
    const auto& runs = read.Log.Records;
    if (runs.empty())
        return Refused("no run recorded yet in " + path->string());
    if (run > int(runs.size()))
        return Refused("no run " + std::to_string(run) + " in " + path->string() + ", which holds runs 1 to " +
                       std::to_string(runs.size()));
    const int chosen = run == 0 ? int(runs.size()) : run;
    const std::string html = RunReportHtml(runs[size_t(chosen - 1)]);

    errno = 0;
    std::ofstream out(std::filesystem::path(file), std::ios::binary | std::ios::trunc);
    if (!out)
        return Refused("cannot open " + file + ": " + std::generic_category().message(errno ? errno : EIO));
    out.write(html.data(), std::streamsize(html.size()));
    out.close();
    if (!out)
        return Refused("cannot write " + file + ": " + std::generic_category().message(errno ? errno : EIO));
    return {0, "report of run " + std::to_string(chosen) + " written to " + file + "\n", ""};
}

}  // namespace varnox
