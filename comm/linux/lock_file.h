#pragma once
// Reading a UUCP lock file (/run/lock/LCK..ttyUSB0) without trusting it: the
// lock folder is writable by everyone, so whatever sits at a lock's name may
// be a link, a FIFO or a huge file. Linux only.

#include <cstddef>
#include <string>

namespace varnox {

// Lock files hold ten digits and a newline (or a 4-byte int); more is never read.
inline constexpr std::size_t kLockFileReadLimit = 64;

struct LockFile {
    bool Exists = false;
    long Pid = 0;  // the process id it names; 0 when it names none
    // Why it is no lock file we can read ("not a regular file"); empty when
    // it is one, or when nothing is there. Such a lock keeps the port busy.
    std::string Unreadable;
};

// The process id in a lock file's bytes: ASCII digits after spaces, or a
// binary int when there are exactly 4 bytes; 0 when neither.
long ParseLockPid(const char* bytes, std::size_t count);

// Opened without following a link and without blocking; only a regular file
// is read, and only its first kLockFileReadLimit bytes.
LockFile ReadLockFile(const std::string& path);

// The process id a lock file names; 0 when none is there or it cannot be read.
inline long LockFilePid(const std::string& path)
{
    return ReadLockFile(path).Pid;
}

}  // namespace varnox
