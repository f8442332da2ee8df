#include "comm/linux/lock_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace varnox {

long ParseLockPid(const char* bytes, std::size_t count)
{
    std::size_t i = 0;
    while (i < count && bytes[i] == ' ')
        ++i;
    long pid = 0;
    bool digits = false;
    for (; i < count && std::isdigit(static_cast<unsigned char>(bytes[i])) && pid < 100000000; ++i) {
        pid = pid * 10 + (bytes[i] - '0');
        digits = true;
    }
    if (digits)
        return pid;
    if (count == sizeof(int)) {
        int binary = 0;
        std::memcpy(&binary, bytes, sizeof binary);
        return binary > 0 ? binary : 0;
    }
    return 0;
}

LockFile ReadLockFile(const std::string& path)
{
    LockFile lock;
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return lock;
        lock.Exists = true;
        lock.Unreadable = error == ELOOP ? "a link" : std::generic_category().message(error);
        return lock;
    }
    lock.Exists = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        lock.Unreadable = "not a regular file";
    } else {
        char bytes[kLockFileReadLimit];
        std::size_t count = 0;
        while (count < sizeof bytes) {
            const ssize_t got = ::read(fd, bytes + count, sizeof bytes - count);
            if (got > 0)
                count += static_cast<std::size_t>(got);
            else if (got == 0 || errno != EINTR)
                break;
        }
        lock.Pid = ParseLockPid(bytes, count);
    }
    ::close(fd);
    return lock;
}

}  // namespace varnox
