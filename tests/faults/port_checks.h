#pragma once
// The serial port as another program sees it: is it free again after the
// tool has ended, and a way to hold it as a second copy of the tool would.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace varnox::testing {

// The port can be taken again: it opens, is not left in exclusive mode (a
// tty keeps that mode until cleared while any descriptor of it stays open,
// here the simulated panel's own), and nobody holds its lock.
inline ::testing::AssertionResult PortReleased(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ::testing::AssertionFailure() << path << " does not open: " << std::strerror(errno);
    int exclusive = 0;
    const bool asked = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    if (!asked)
        return ::testing::AssertionFailure() << path << ": exclusive mode cannot be read";
    if (exclusive != 0)
        return ::testing::AssertionFailure() << path << " was left in exclusive mode";
    if (locked)
        return ::testing::AssertionFailure() << path << " is still locked";
    return ::testing::AssertionSuccess();
}

// Holds a port the way the tool itself does (lock and exclusive mode), so
// that a second opener is refused even when it runs as root.
class PortHolder {
public:
    explicit PortHolder(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd_, TIOCEXCL) == 0;
    }
    ~PortHolder()
    {
        if (fd_ >= 0) {
            ::ioctl(fd_, TIOCNXCL);
            ::close(fd_);
        }
    }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool Held() const { return held_; }
    // Still in exclusive mode, as the holder left it.
    bool StillExclusive() const
    {
        int exclusive = 0;
        return ::ioctl(fd_, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    }

private:
    int fd_;
    bool held_ = false;
};

// A fresh folder for one test's links, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/varnox-faults-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace varnox::testing
