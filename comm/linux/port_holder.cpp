#include "comm/linux/port_holder.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
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

long LockFilePid(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::size_t i = 0;
    while (i < content.size() && content[i] == ' ')
        ++i;
    long pid = 0;
    bool digits = false;
    for (; i < content.size() && std::isdigit(static_cast<unsigned char>(content[i])) && pid < 100000000; ++i) {
        pid = pid * 10 + (content[i] - '0');
        digits = true;
    }
    if (digits)
        return pid;
    if (content.size() == sizeof(int)) {
        int binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        return binary > 0 ? binary : 0;
    }
    return 0;
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
        const std::string lock = folder + "/" + name;
        const long pid = LockFilePid(lock);
        if (pid > 0 && pid != static_cast<long>(::getpid()) && ProcessAlive(sources.Proc, pid))
            return "locked by " + Named(sources.Proc, pid) + " through " + lock;
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

}  // namespace varnox
