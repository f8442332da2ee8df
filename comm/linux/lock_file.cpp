#include "comm/linux/lock_file.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/file_head.h"

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
    const FileHead head = ReadFileHead(path, kLockFileReadLimit, Links::Refuse);
    if (head.OpenError == ENOENT || head.OpenError == ENOTDIR)
        return lock;
    lock.Exists = true;
    if (head.OpenError != 0)
        lock.Unreadable = head.OpenError == ELOOP ? "a link" : std::generic_category().message(head.OpenError);
    else if (!head.Regular)
        lock.Unreadable = "not a regular file";
    else
        lock.Pid = ParseLockPid(head.Bytes.data(), head.Bytes.size());
    return lock;
}

}  // namespace varnox
