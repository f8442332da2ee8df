#pragma once
// The per-user run record file: where it lives, adding one run, reading all
// back. Nothing here throws: a record that cannot be written must never stop
// or fail an update, so failures come back as text for the front-end to show.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "record/run_record.h"

namespace varnox {

// The value of one environment variable; std::nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::filesystem::path>(std::string_view name)>;

// The process environment (read wide on Windows, so that any user folder name survives).
std::optional<std::filesystem::path> ProcessEnvironment(std::string_view name);

enum class RecordPathStyle { Linux, Windows };
#ifdef _WIN32
inline constexpr RecordPathStyle kNativeRecordPathStyle = RecordPathStyle::Windows;
#else
inline constexpr RecordPathStyle kNativeRecordPathStyle = RecordPathStyle::Linux;
#endif

// Linux: $XDG_STATE_HOME/varnox-patch/runs.jsonl, else $HOME/.local/state/...
// (an empty or relative XDG_STATE_HOME is ignored, as the XDG rules say).
// Windows: %LOCALAPPDATA%\varnox-patch\runs.jsonl, else %USERPROFILE%\AppData\Local\...
// std::nullopt when none of these is set.
std::optional<std::filesystem::path> DefaultRecordPath(const EnvironmentLookup& environment = ProcessEnvironment,
                                                       RecordPathStyle style = kNativeRecordPathStyle);

// The line to show when DefaultRecordPath found no place for the record.
std::string NoDefaultRecordPathError(RecordPathStyle style = kNativeRecordPathStyle);

struct RecordWriteResult {
    bool Written = false;
    // When not written, the whole line to show on stderr or as the window
    // log's last line, with the OS's reason:
    // "run record not written: cannot open /path/runs.jsonl: Permission denied"
    std::string Error;
};

// Appends `record` as one line, creating the file's missing folders first
// (on Linux only for the user: 0700, and a new file 0600). The line goes out
// in one write, then is synced to the disk (a regular file; /dev/null simply
// takes it). A file whose last line
// was torn (power cut) gets a line break first, so that it spoils only itself.
RecordWriteResult AppendRecord(const std::filesystem::path& file, const RunRecord& record);

struct RecordReadResult {
    bool Read = false;
    bool Missing = false;  // the file does not exist (no run recorded yet)
    std::string Error;     // "run record not read: cannot open PATH: REASON"
    RecordLog Log;
};

// The largest record file read back: 64 MiB, some tens of thousands of runs.
// A bigger file (or anything but a regular file: a FIFO, a device) is refused
// rather than read, so that a stray file cannot hang the reader or fill its memory.
inline constexpr std::size_t kMaxRecordFileBytes = std::size_t{64} << 20;

// Reads every line of a regular file of at most kMaxRecordFileBytes.
RecordReadResult ReadRecords(const std::filesystem::path& file);

}  // namespace varnox
