#include "record/record_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "record/append_only_file.h"
#include "record/run_record_json.h"

namespace varnox {

namespace {

namespace fs = std::filesystem;

// The thin layer over the C runtime's file descriptors, which both systems
// have: one write of a whole line to a file opened for appending.
#ifdef _WIN32
int OpenFile(const fs::path& file, bool append)
{
    return append ? OpenAppendOnly(file) : _wopen(file.c_str(), _O_RDONLY | _O_BINARY);
}
bool IsRegularFile(int fd)
{
    struct _stat64 st {};
    return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
}
long long FileSize(int fd)
{
    struct _stat64 st {};
    return _fstat64(fd, &st) == 0 ? st.st_size : -1;
}
long long SeekFile(int fd, long long offset, int whence)
{
    return _lseeki64(fd, offset, whence);
}
int ReadBytes(int fd, char* data, size_t size)
{
    return _read(fd, data, unsigned(size));
}
int WriteBytes(int fd, const char* data, size_t size)
{
    return _write(fd, data, unsigned(size));
}
int SyncFile(int fd)
{
    return _commit(fd);
}
int CloseFile(int fd)
{
    return _close(fd);
}
#else
// Reading never follows into a FIFO's wait (non-blocking).
int OpenFile(const fs::path& file, bool append)
{
    return append ? OpenAppendOnly(file) : ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}
bool IsRegularFile(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}
long long FileSize(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}
long long SeekFile(int fd, long long offset, int whence)
{
    return ::lseek(fd, offset, whence);
}
ssize_t ReadBytes(int fd, char* data, size_t size)
{
    return ::read(fd, data, size);
}
ssize_t WriteBytes(int fd, const char* data, size_t size)
{
    return ::write(fd, data, size);
}
int SyncFile(int fd)
{
    return ::fsync(fd);
}
int CloseFile(int fd)
{
    return ::close(fd);
}
#endif

std::string PathText(const fs::path& path)
{
    try {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    } catch (const std::exception&) {
        return "(unprintable path)";
    }
}

std::string ErrnoText()
{
    return std::generic_category().message(errno);
}

// True when the file's last byte is something other than a line break.
bool EndsInTornLine(int fd)
{
    const long long size = SeekFile(fd, 0, SEEK_END);
    if (size <= 0 || SeekFile(fd, size - 1, SEEK_SET) < 0)
        return false;
    char last = '\n';
    return ReadBytes(fd, &last, 1) == 1 && last != '\n';
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const auto written = WriteBytes(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data.remove_prefix(size_t(written));
    }
    return true;
}

// Makes the missing folders of `folder`, each only for its owner (0700): the
// record names the user's panels and ports. Folders that exist stay as they are.
void CreateFolders(const fs::path& folder, std::error_code& error)
{
#ifdef _WIN32
    fs::create_directories(folder, error);
#else
    error.clear();
    if (folder.empty() || fs::is_directory(folder, error))
        return;
    if (folder.has_parent_path() && folder.parent_path() != folder) {
        CreateFolders(folder.parent_path(), error);
        if (error)
            return;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        error.assign(errno, std::generic_category());
    else if (!fs::is_directory(folder, error) && !error)
        error = std::make_error_code(std::errc::not_a_directory);
#endif
}

RecordWriteResult NotWritten(const std::string& what)
{
    return {false, "run record not written: " + what};
}

}  // namespace

std::optional<fs::path> ProcessEnvironment(std::string_view name)
{
#ifdef _WIN32
    const std::wstring wide(name.begin(), name.end());
    const wchar_t* value = _wgetenv(wide.c_str());
#else
    const char* value = std::getenv(std::string(name).c_str());
#endif
    if (value == nullptr)
        return std::nullopt;
    return fs::path(value);
}

std::optional<fs::path> DefaultRecordPath(const EnvironmentLookup& environment, RecordPathStyle style)
{
    const auto Set = [&](std::string_view name) {
        auto value = environment(name);
        return value && !value->empty() ? value : std::nullopt;
    };
    std::optional<fs::path> base;
    if (style == RecordPathStyle::Windows) {
        base = Set("LOCALAPPDATA");
        if (!base) {
            if (auto profile = Set("USERPROFILE"))
                base = *profile / "AppData" / "Local";
        }
    } else {
        base = Set("XDG_STATE_HOME");
        if (base && !base->is_absolute())
            base.reset();
        if (!base) {
            if (auto home = Set("HOME"))
                base = *home / ".local" / "state";
        }
    }
    if (!base)
        return std::nullopt;
    return *base / "varnox-patch" / "runs.jsonl";
}

std::string NoDefaultRecordPathError(RecordPathStyle style)
{
    return style == RecordPathStyle::Windows
               ? "run record not written: neither LOCALAPPDATA nor USERPROFILE is set"
               : "run record not written: neither XDG_STATE_HOME nor HOME is set";
}

RecordWriteResult AppendRecord(const fs::path& file, const RunRecord& record)
{
    std::string line = RecordToJsonLine(record) + "\n";
    if (file.has_parent_path()) {
        std::error_code error;
        CreateFolders(file.parent_path(), error);
        if (error)
            return NotWritten("cannot create folder " + PathText(file.parent_path()) + ": " + error.message());
    }
    const int fd = OpenFile(file, /*append=*/true);
    if (fd < 0)
        return NotWritten("cannot open " + PathText(file) + ": " + ErrnoText());
    // Only a regular file has an end to look at and a disk to sync to: a
    // record sent to /dev/null is written there and that is all.
    const bool regular = IsRegularFile(fd);
    if (regular && EndsInTornLine(fd))
        line.insert(line.begin(), '\n');
    if (!WriteAll(fd, line)) {
        const std::string reason = ErrnoText();
        CloseFile(fd);
        return NotWritten("cannot write " + PathText(file) + ": " + reason);
    }
    // The record should outlive a power cut right after the run.
    const bool synced = !regular || SyncFile(fd) == 0;
    const std::string reason = synced ? std::string() : ErrnoText();
    const bool closed = CloseFile(fd) == 0;
    if (!synced || !closed)
        return NotWritten("cannot write " + PathText(file) + ": " + (synced ? ErrnoText() : reason));
    return {true, {}};
}

RecordReadResult ReadRecords(const fs::path& file)
{
    RecordReadResult result;
    const int fd = OpenFile(file, /*append=*/false);
    if (fd < 0) {
        result.Missing = errno == ENOENT;
        result.Error = "run record not read: cannot open " + PathText(file) + ": " + ErrnoText();
        return result;
    }
    // A FIFO or a device would keep us waiting or reading for ever.
    if (!IsRegularFile(fd)) {
        result.Error = "run record not read: " + PathText(file) + " is not a regular file";
        CloseFile(fd);
        return result;
    }
    if (FileSize(fd) > static_cast<long long>(kMaxRecordFileBytes)) {
        result.Error = "run record not read: " + PathText(file) + " is larger than " +
                       std::to_string(kMaxRecordFileBytes >> 20) + " MiB";
        CloseFile(fd);
        return result;
    }
    std::string text;
    char chunk[65536];
    // Bounded even if the file grows while it is read.
    while (text.size() <= kMaxRecordFileBytes) {
        const auto got = ReadBytes(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.Error = "run record not read: cannot read " + PathText(file) + ": " + ErrnoText();
            CloseFile(fd);
            return result;
        }
        if (got == 0)
            break;
        text.append(chunk, size_t(got));
    }
    CloseFile(fd);
    if (text.size() > kMaxRecordFileBytes)
        text.resize(kMaxRecordFileBytes);
    result.Read = true;
    result.Log = ParseRecordLines(text);
    return result;
}

}  // namespace varnox
