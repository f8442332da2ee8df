#include "comm/linux/uucp_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace varnox {

namespace {

// A lock file without a process id may be one that its owner is still
// writing; only after this long does it count as stale.
constexpr time_t kUnwrittenLockSeconds = 2;

enum class Created { Yes, Exists, Failed };

// Creates `path` exclusively, never through a link, holding our process id.
Created CreateLock(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == EEXIST || errno == ELOOP ? Created::Exists : Created::Failed;
    char line[16];
    const int length = std::snprintf(line, sizeof line, "%10ld\n", static_cast<long>(::getpid()));
    const bool written = ::write(fd, line, static_cast<std::size_t>(length)) == length;
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return Created::Failed;
    }
    return Created::Yes;
}

bool Stale(const std::string& path, long pid, const std::string& proc)
{
    if (pid > 0)
        return !ProcessAlive(proc, pid);
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && ::time(nullptr) - st.st_mtime > kUnwrittenLockSeconds;
}

}  // namespace

bool UucpLock::Take(const std::string& device_path, const HolderSources& sources, std::string& holder)
{
    Release();
    holder = LockHolder(device_path, sources);
    if (!holder.empty())
        return false;
    const std::string name = LockFileName(device_path);
    if (name.empty())
        return true;
    const long self = static_cast<long>(::getpid());
    for (const std::string& folder : sources.LockFolders) {
        const std::string path = folder + "/" + name;
        Created created = CreateLock(path);
        if (created == Created::Exists) {
            const long pid = LockFilePid(path);
            if (pid == self)
                return true;  // an open of ours holds it; the device's own lock decides
            if (!Stale(path, pid, sources.Proc)) {
                holder = pid > 0 ? LockHolder(device_path, sources) : std::string();
                if (holder.empty())
                    holder = "locked through " + path;
                return false;
            }
            // unlink() removes a link itself, never what it leads to.
            ::unlink(path.c_str());
            created = CreateLock(path);
        }
        if (created == Created::Yes) {
            path_ = path;
            return true;
        }
        if (created == Created::Exists) {
            holder = "locked through " + path;  // taken by another between our two tries
            return false;
        }
    }
    return true;
}

void UucpLock::Release()
{
    if (path_.empty())
        return;
    if (LockFilePid(path_) == static_cast<long>(::getpid()))
        ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace varnox
