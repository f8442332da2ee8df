#include "comm/linux/uucp_lock.h"

#include <fcntl.h>
#include <sys/file.h>
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
// Rounds of "exists, but gone when looked at": a lock that keeps changing
// under us belongs to someone busy with the port.
constexpr int kTakeRounds = 3;

enum class Created { Yes, Exists, Failed };

// A file beside the lock, holding our process id, never a link followed.
std::string WriteOurId(const std::string& lock_path)
{
    const std::string path = lock_path + ".tmp" + std::to_string(::getpid());
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return {};
    char line[16];
    const int length = std::snprintf(line, sizeof line, "%10ld\n", static_cast<long>(::getpid()));
    const bool written = ::write(fd, line, static_cast<std::size_t>(length)) == length;
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return {};
    }
    return path;
}

// Links a written file to the lock's name, so that the lock never exists
// without its id; link() refuses a name that exists, also a link.
Created CreateLock(const std::string& path)
{
    const std::string ours = WriteOurId(path);
    if (ours.empty())
        return Created::Failed;
    const int linked = ::link(ours.c_str(), path.c_str());
    const int error = errno;
    ::unlink(ours.c_str());
    if (linked == 0)
        return Created::Yes;
    return error == EEXIST ? Created::Exists : Created::Failed;
}

bool Stale(long pid, time_t modified, const std::string& proc)
{
    if (pid > 0)
        return !ProcessAlive(proc, pid);
    return ::time(nullptr) - modified > kUnwrittenLockSeconds;
}

// Replaces a stale lock with ours in one step. Takers serialise on the stale
// file's flock, and under it check that the name still leads to that file and
// that it is still stale: one who comes second finds the winner's live lock.
// rename() never leaves the name free, so no creator slips in between.
Created TakeOver(const std::string& path, const std::string& proc)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? Created::Failed : Created::Exists;
    Created result = Created::Exists;
    struct stat held {};
    struct stat named {};
    char bytes[kLockFileReadLimit];
    ssize_t count = 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
        (count = ::pread(fd, bytes, sizeof bytes, 0)) >= 0 &&
        Stale(ParseLockPid(bytes, static_cast<std::size_t>(count)), held.st_mtime, proc)) {
        const std::string ours = WriteOurId(path);
        if (!ours.empty() && ::rename(ours.c_str(), path.c_str()) == 0)
            result = Created::Yes;
        else if (!ours.empty())
            ::unlink(ours.c_str());
    }
    ::close(fd);
    return result;
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
        Created created = Created::Exists;
        for (int round = 0; round < kTakeRounds && created == Created::Exists; ++round) {
            created = CreateLock(path);
            if (created != Created::Exists)
                break;
            const LockFile lock = ReadLockFile(path);
            if (!lock.Exists)
                continue;  // removed meanwhile: try to create it again
            if (!lock.Unreadable.empty()) {
                holder = "cannot read the lock file " + path + " (" + lock.Unreadable + ")";
                return false;
            }
            if (lock.Pid == self)
                return true;  // an open of ours holds it; the device's own lock decides
            struct stat st {};
            if (::lstat(path.c_str(), &st) == 0 && !Stale(lock.Pid, st.st_mtime, sources.Proc)) {
                holder = lock.Pid > 0 ? LockHolder(device_path, sources) : std::string();
                if (holder.empty())
                    holder = "locked through " + path;
                return false;
            }
            if (sources.BeforeTakeover)
                sources.BeforeTakeover();
            created = TakeOver(path, sources.Proc);
            if (created == Created::Failed)
                created = Created::Exists;  // gone before we looked: create it afresh
            else if (created == Created::Exists)
                break;
        }
        if (created == Created::Yes) {
            path_ = path;
            return true;
        }
        if (created == Created::Exists) {
            if (holder.empty())
                holder = LockHolder(device_path, sources);
            if (holder.empty())
                holder = "locked through " + path;  // taken by another while we looked
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
