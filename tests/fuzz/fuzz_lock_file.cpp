// libFuzzer target for the UUCP lock file reader. The input is a lock file's
// bytes: ParseLockPid must give an id in an int's range, and any id written as lock
// takers write it must read back; ReadLockFile, given the same bytes as a
// file, must read only the first kLockFileReadLimit of them and say the same. The first input byte also
// decides whether something other than a regular file sits at the name
// (a link, a FIFO, a folder), which must come back as unreadable at once.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "comm/linux/lock_file.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;
using varnox::fuzz::Expect;

const fs::path& Folder()
{
    static const fs::path folder = [] {
        const fs::path made = fs::temp_directory_path() / ("varnox-fuzz-lock-" + std::to_string(::getpid()));
        fs::create_directories(made);
        std::atexit([] { fs::remove_all(Folder()); });
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const long parsed = varnox::ParseLockPid(bytes.data(), bytes.size());
    Expect(parsed >= 0 && parsed <= INT_MAX, "pid out of range: " + std::to_string(parsed));
    // Any id as minicom or we write it (ten digits and a newline) reads back.
    uint32_t word = 0;
    std::memcpy(&word, bytes.data(), std::min<std::size_t>(size, sizeof word));
    const long pid = static_cast<long>(word % 1000000000u);
    char line[16];
    const int length = std::snprintf(line, sizeof line, "%10ld\n", pid);
    Expect(varnox::ParseLockPid(line, static_cast<std::size_t>(length)) == pid,
           "'" + std::string(line) + "' misread");

    const fs::path lock = Folder() / "LCK..ttyFUZZ";
    fs::remove_all(lock);
    const unsigned kind = size > 0 ? data[0] % 8 : 0;
    std::string why;
    if (kind == 1) {
        fs::create_symlink(Folder() / "elsewhere", lock);
        why = "a link";
    } else if (kind == 2) {
        Expect(::mkfifo(lock.c_str(), 0600) == 0, "mkfifo");
        why = "not a regular file";
    } else if (kind == 3) {
        fs::create_directory(lock);
        why = "not a regular file";
    } else {
        std::ofstream(lock, std::ios::binary) << bytes;
    }
    const varnox::LockFile read = varnox::ReadLockFile(lock.string());
    Expect(read.Exists, "an existing lock file read as absent");
    Expect(read.Unreadable == why, "unreadable: '" + read.Unreadable + "', expected '" + why + "'");
    const std::string head = bytes.substr(0, varnox::kLockFileReadLimit);
    Expect(read.Pid == (why.empty() ? varnox::ParseLockPid(head.data(), head.size()) : 0),
           "ReadLockFile's pid differs from the first bytes'");
    return 0;
}
