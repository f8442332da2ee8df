#include "sim/port_announcer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace varnox {
namespace {

constexpr const char* kPtyFolder = "/dev/pts/";

// What the symbolic link at `path` points to; empty when it is not one.
std::string LinkTarget(const std::string& path)
{
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, std::size_t(n)) : std::string();
}

// The link may take the place of nothing, or of a link to a pseudo-terminal
// (ours, or one an earlier run left behind when it was killed). Anything else
// is someone's file, which a rename would destroy and the exit then delete.
bool MayReplace(const std::string& path, std::string& error)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if (S_ISLNK(st.st_mode) && LinkTarget(path).rfind(kPtyFolder, 0) == 0)
        return true;
    error = "--link " + path + ": exists and is not a link to a pseudo-terminal; not replaced";
    return false;
}

}  // namespace

PortAnnouncer::PortAnnouncer(std::string link_path) : link_path_(std::move(link_path)) {}

PortAnnouncer::~PortAnnouncer()
{
    // Only while it is still the link we made.
    if (linked_ && LinkTarget(link_path_) == linked_to_)
        ::unlink(link_path_.c_str());
}

bool PortAnnouncer::Announce(const std::string& path, std::string& error)
{
    if (!link_path_.empty()) {
        if (!MayReplace(link_path_, error)) {
            if (error.empty())
                error = "--link " + link_path_ + ": " + std::strerror(errno);
            return false;
        }
        // Made beside the link, so that the rename stays in one directory.
        const std::string fresh = link_path_ + ".new-" + std::to_string(::getpid());
        ::unlink(fresh.c_str());
        if (::symlink(path.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), link_path_.c_str()) != 0) {
            error = "--link " + link_path_ + ": " + std::strerror(errno);
            ::unlink(fresh.c_str());
            return false;
        }
        linked_ = true;
        linked_to_ = path;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    return true;
}

}  // namespace varnox
