#pragma once
// A run record as one line of JSON (JSON Lines: one object a line), and back.

#include <optional>
#include <string>
#include <string_view>

#include "record/run_record.h"

namespace varnox {

// The "record" field of every line; a reader takes lines of any format
// version from 1 on and ignores fields it does not know.
inline constexpr int kRecordFormat = 1;

// One line without its "\n". Absent optional fields are left out, never null.
std::string RecordToJsonLine(const RunRecord& record);

// std::nullopt when the line is not a record: not JSON, not an object, a
// required field missing or of the wrong type. Never throws.
std::optional<RunRecord> RecordFromJsonLine(std::string_view line);

// Every record of a whole file's text; blank lines are passed over, lines
// that are no record are counted in SkippedLines.
RecordLog ParseRecordLines(std::string_view text);

}  // namespace varnox
