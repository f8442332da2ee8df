#include "core/file_head.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace varnox {

FileHead ReadFileHead(const std::string& path, std::size_t limit, Links links)
{
    FileHead head;
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        head.OpenError = errno;
        return head;
    }
    struct stat st {};
    head.Regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (head.Regular) {
        head.Bytes.resize(limit);
        std::size_t count = 0;
        while (count < limit) {
            const ssize_t got = ::read(fd, head.Bytes.data() + count, limit - count);
            if (got > 0)
                count += static_cast<std::size_t>(got);
            else if (got == 0 || errno != EINTR)
                break;
        }
        head.Bytes.resize(count);
    }
    ::close(fd);
    return head;
}

}  // namespace varnox
