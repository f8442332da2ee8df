#include "sim/port_announcer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace varnox {

PortAnnouncer::PortAnnouncer(std::string link_path) : link_path_(std::move(link_path)) {}

PortAnnouncer::~PortAnnouncer()
{
    if (linked_)
        ::unlink(link_path_.c_str());
}

bool PortAnnouncer::Announce(const std::string& path, std::string& error)
{
    if (!link_path_.empty()) {
        // Made beside the link, so that the rename stays in one directory.
        const std::string fresh = link_path_ + ".new-" + std::to_string(::getpid());
        ::unlink(fresh.c_str());
        if (::symlink(path.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), link_path_.c_str()) != 0) {
            error = "--link " + link_path_ + ": " + std::strerror(errno);
            ::unlink(fresh.c_str());
            return false;
        }
        linked_ = true;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    return true;
}

}  // namespace varnox
