#include "cli/history_report.h"

#include <filesystem>

#include "record/history_table.h"
#include "record/record_file.h"
#include "update/exit_status.h"

namespace varnox {

HistoryAnswer HistoryOf(const std::string& file)
{
    HistoryAnswer answer;
    std::optional<std::filesystem::path> path;
    if (!file.empty())
        path = std::filesystem::path(file);
    else
        path = DefaultRecordPath();
    if (!path) {
        answer.ExitStatus = kExitPanelUnchanged;
        answer.Err = "run record not read: no per-user folder for it (HOME or LOCALAPPDATA not set)\n";
        return answer;
    }
    const RecordReadResult read = ReadRecords(*path);
    // No record yet is news only for the per-user file; a file named on the
    // command line that is not there is a mistake to say.
    if (read.Missing && file.empty()) {
        answer.Out = "no run recorded yet in " + path->string() + "\n";
    } else if (!read.Read) {
        answer.ExitStatus = kExitPanelUnchanged;
        answer.Err = read.Error + "\n";
    } else {
        answer.Out = HistoryTable(read.Log);
    }
    return answer;
}

}  // namespace varnox
