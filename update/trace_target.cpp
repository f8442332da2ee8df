#include "update/trace_target.h"

#include <filesystem>
#include <system_error>

#include "record/record_file.h"

namespace varnox {
namespace {

namespace fs = std::filesystem;

bool SameFile(const fs::path& a, const fs::path& b)
{
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        const bool same = fs::equivalent(a, b, error);
        return !error && same;
    }
    // Links and ".." in the part that exists resolved, the rest as written.
    const fs::path full_a = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path full_b = fs::weakly_canonical(fs::absolute(b, error), error);
    return full_a.lexically_normal() == full_b.lexically_normal();
}

}  // namespace

std::string TraceTargetRefusal(const RunOptions& options)
{
    if (options.TraceFile.empty() || options.NoRecord)
        return {};
    std::optional<fs::path> record;
    if (!options.RecordFile.empty())
        record = fs::path(options.RecordFile);
    else
        record = DefaultRecordPath();
    if (!record || !SameFile(fs::path(options.TraceFile), *record))
        return {};
    return "--trace " + options.TraceFile + " is the run record's file; give the trace a file of its own";
}

}  // namespace varnox
