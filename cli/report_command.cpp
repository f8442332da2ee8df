#include "cli/report_command.h"

#include <filesystem>

#include "record/record_file.h"
#include "record/report_file.h"

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
    if (std::string problem = SaveRunReport(runs[size_t(chosen - 1)], file); !problem.empty())
        return Refused(problem);
    return {0, "report of run " + std::to_string(chosen) + " written to " + file + "\n", ""};
}

}  // namespace varnox
