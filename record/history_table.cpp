#include "record/history_table.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/printable_text.h"
#include "record/utc_time.h"

namespace varnox {

namespace {

constexpr size_t kColumns = kHistoryColumns;
using Row = HistoryRow;

const Row kHeader = {"run", "start (UTC)", "port", "firmware before", "image", "ending", "verification", "exit"};

// Width on screen: UTF-8 continuation bytes take no column.
size_t Width(const std::string& text)
{
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
}

// `number`: 1 for the oldest, the number --report takes.
Row RowOf(size_t number, const RunRecord& run)
{
    std::string image = "-";
    if (run.Image)
        image = run.Image->Name + (run.Image->StandIn ? " (stand-in)" : "");
    // The record file is anyone's to edit: its texts go to the terminal escaped.
    return {std::to_string(number),
            ReadableUtc(run.Start),
            PrintableText(run.Port),
            PrintableText(run.FirmwareBefore.value_or("-")),
            PrintableText(image),
            PrintableText(run.Ending),
            PrintableText(run.Verification),
            std::to_string(run.ExitStatus)};
}

void AppendRow(std::string& text, const Row& row, const std::array<size_t, kColumns>& widths)
{
    std::string line;
    for (size_t column = 0; column < kColumns; ++column) {
        if (column > 0)
            line += "  ";
        line += row[column];
        line.append(widths[column] - Width(row[column]), ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
}

std::string Count(size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

const HistoryRow& HistoryHeader()
{
    return kHeader;
}

std::vector<HistoryRow> HistoryRows(const RecordLog& log)
{
    std::vector<Row> rows;
    rows.reserve(log.Records.size());
    for (const RunRecord& run : log.Records)
        rows.push_back(RowOf(rows.size() + 1, run));
    return rows;
}

std::string HistoryTable(const RecordLog& log)
{
    const std::vector<Row> rows = HistoryRows(log);

    std::array<size_t, kColumns> widths{};
    Row rule;
    for (size_t column = 0; column < kColumns; ++column) {
        widths[column] = Width(kHeader[column]);
        for (const Row& row : rows)
            widths[column] = std::max(widths[column], Width(row[column]));
        rule[column] = std::string(widths[column], '-');
    }

    std::string text;
    AppendRow(text, kHeader, widths);
    AppendRow(text, rule, widths);
    for (const Row& row : rows)
        AppendRow(text, row, widths);
    text += Count(rows.size(), "run", "runs") + "; " +
            (log.SkippedLines == 0
                 ? std::string("no unreadable lines")
                 : Count(size_t(log.SkippedLines), "unreadable line", "unreadable lines") + " skipped") +
            "\n";
    return text;
}

}  // namespace varnox
