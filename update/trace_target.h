#pragma once
// Where --trace may write: the trace file is created empty, so it must not be
// the run record's file, whose runs it would wipe out.

#include <string>

#include "update/run_options.h"

namespace varnox {

// Empty when the trace may go to options.TraceFile (or there is none);
// otherwise the reason to refuse it, e.g.
// "--trace runs.jsonl is the run record's file; give the trace a file of its own".
// The two are the same file when the system says so (device and inode, or
// the Windows file index), and by their full path when one does not exist yet.
std::string TraceTargetRefusal(const RunOptions& options);

}  // namespace varnox
