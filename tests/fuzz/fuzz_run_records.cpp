// libFuzzer target for the run record reader behind --history and --report.
// The input is a record file's text. Every line must either be a record or be
// counted as skipped; a record read must write back to a line that reads as
// the same line again; and the history table of whatever was read must put no
// control character on the terminal but its line breaks. The same bytes as a
// file must read the same through ReadRecords.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "record/history_table.h"
#include "record/record_file.h"
#include "record/run_record_json.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;
using varnox::fuzz::Expect;

// A scratch folder of this process, removed with it.
struct ScratchFolder {
    fs::path Path = fs::temp_directory_path() / ("varnox-fuzz-record-" + std::to_string(::getpid()));
    ScratchFolder() { fs::create_directories(Path); }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
};

const fs::path& File()
{
    static const ScratchFolder folder;
    static const fs::path file = folder.Path / "runs.jsonl";
    return file;
}

std::size_t NonBlankLines(std::string_view text)
{
    std::size_t lines = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        if (text.substr(0, end).find_first_not_of(" \t\r") != std::string_view::npos)
            ++lines;
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const varnox::RecordLog log = varnox::ParseRecordLines(text);
    Expect(log.SkippedLines >= 0 &&
               log.Records.size() + static_cast<std::size_t>(log.SkippedLines) <= NonBlankLines(text),
           "more records and skipped lines than lines");

    for (const varnox::RunRecord& record : log.Records) {
        const std::string line = varnox::RecordToJsonLine(record);
        Expect(line.find('\n') == std::string::npos, "a record written over two lines");
        const std::optional<varnox::RunRecord> again = varnox::RecordFromJsonLine(line);
        Expect(again.has_value(), "a record read does not read back: " + line);
        Expect(varnox::RecordToJsonLine(*again) == line, "a record changes on its way back: " + line);
    }

    const std::string table = varnox::HistoryTable(log);
    Expect(std::none_of(table.begin(), table.end(),
                        [](char c) {
                            const auto byte = static_cast<unsigned char>(c);
                            return (byte < 0x20 && c != '\n') || byte == 0x7F;
                        }),
           "a control character in the history table");

    std::ofstream(File(), std::ios::binary | std::ios::trunc).write(text.data(), std::streamsize(text.size()));
    const varnox::RecordReadResult read = varnox::ReadRecords(File());
    Expect(read.Read, "the file did not read: " + read.Error);
    Expect(read.Log.Records == log.Records && read.Log.SkippedLines == log.SkippedLines,
           "the file reads otherwise than its text");
    return 0;
}
