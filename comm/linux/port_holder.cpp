#include "comm/linux/port_holder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace varnox {

namespace fs = std::filesystem;

namespace {

std::string ProcessName(const std::string& proc, long pid)
{
    std::ifstream comm(proc + "/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::string Named(const std::string& proc, long pid)
{
    const std::string name = ProcessName(proc, pid);
    return (name.empty() ? std::string("a program") : name) + " (process " + std::to_string(pid) + ")";
}

// The process, other than ours, with a descriptor on `device`; 0 when none.
long OpenedBy(const std::string& proc, const fs::path& device)
{
    std::error_code error;
    const long self = static_cast<long>(::getpid());
    for (fs::directory_iterator it(proc, error), end; !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (entry.empty() || !std::all_of(entry.begin(), entry.end(),
                                          [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            continue;
        const long pid = std::stol(entry);
        if (pid == self)
            continue;
        std::error_code fd_error;
        for (fs::directory_iterator fd(it->path() / "fd", fd_error), fd_end; !fd_error && fd != fd_end;
             fd.increment(fd_error)) {
            std::error_code link_error;
            if (fs::read_symlink(fd->path(), link_error) == device)
                return pid;
        }
    }
    return 0;
}

}  // namespace

bool ProcessAlive(const std::string& proc, long pid)
{
    std::error_code error;
    return pid > 0 && fs::exists(proc + "/" + std::to_string(pid), error);
}

std::string LockFileName(const std::string& device_path)
{
    std::error_code error;
    const fs::path device = fs::weakly_canonical(device_path, error);
    const std::string name = error ? std::string() : device.filename().string();
    return name.empty() ? std::string() : "LCK.." + name;
}

std::string LockHolder(const std::string& device_path, const HolderSources& sources)
{
    const std::string name = LockFileName(device_path);
    if (name.empty())
        return {};
    for (const std::string& folder : sources.LockFolders) {
        const std::string path = folder + "/" + name;
        const LockFile lock = ReadLockFile(path);
        if (!lock.Unreadable.empty())
            return "cannot read the lock file " + path + " (" + lock.Unreadable + ")";
        if (lock.Pid > 0 && lock.Pid != static_cast<long>(::getpid()) && ProcessAlive(sources.Proc, lock.Pid))
            return "locked by " + Named(sources.Proc, lock.Pid) + " through " + path;
    }
    return {};
}

std::string LikelyHolder(const std::string& device_path, const HolderSources& sources)
{
    std::error_code error;
    const fs::path device = fs::weakly_canonical(device_path, error);
    if (error)
        return {};
    if (std::string locked = LockHolder(device_path, sources); !locked.empty())
        return locked;
    if (const long pid = OpenedBy(sources.Proc, device); pid > 0)
        return "likely held by " + Named(sources.Proc, pid);
    return {};
}

bool LooksFree(const std::string& device_path, const HolderSources& sources)
{
    struct stat st {};
    return ::stat(device_path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
           ::access(device_path.c_str(), R_OK | W_OK) == 0 && LikelyHolder(device_path, sources).empty();
}

}  // namespace varnox
