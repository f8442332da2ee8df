#pragma once
// The run record as people read it (varnox-patch-cli --history).

#include <array>
#include <string>
#include <vector>

#include "record/run_record.h"

namespace varnox {

inline constexpr std::size_t kHistoryColumns = 8;
using HistoryRow = std::array<std::string, kHistoryColumns>;

// The columns' titles: run, start (UTC), port, firmware before, image,
// ending, verification, exit.
const HistoryRow& HistoryHeader();

// One row per run in the log's order (the file's: newest last), numbered from
// 1 (the numbers varnox-patch-cli --report takes), "-" for what a run never reached.
std::vector<HistoryRow> HistoryRows(const RecordLog& log);

// One row per run in the log's order (the file's: newest last), numbered from
// 1 (the numbers varnox-patch-cli --report takes), times in UTC,
// "-" for what a run never reached, columns as wide as their widest entry;
// a footer counts the runs and the unreadable lines passed over.
std::string HistoryTable(const RecordLog& log);

}  // namespace varnox
