#pragma once
// A pseudo-terminal pair for tests that need a real serial device: the code
// under test opens SlavePath() as if it were a COM port, and the test plays
// the far end of the line on the master side.
//
//     varnox::testing::PtyPair pty;
//     opener.Map().Map(3, pty.SlavePath());   // COM3 is now the pty
//     pty.Write({0x06, 0x01});                // bytes the "panel" sends
//     auto got = pty.Read(7, 1000);           // bytes the PC sent, within 1 s
//
// Both sides are raw (no echo, no line editing, 8 bits through). The helper
// keeps its own descriptor of the slave open, so the pair stays usable while
// the code under test opens and closes the port; it holds no lock on it.
// Header-only; link with -lutil (openpty).

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnox::testing {

class PtyPair {
public:
    PtyPair()
    {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed: errno " + std::to_string(errno));
        slave_path_ = name;
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        MakeRaw(master_);
        MakeRaw(slave_);
    }
    ~PtyPair()
    {
        CloseMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // The device path to open as the port, e.g. "/dev/pts/4".
    const std::string& SlavePath() const { return slave_path_; }
    // The far end's descriptor (non-blocking); -1 after CloseMaster().
    int MasterFd() const { return master_; }

    // Sends bytes towards the port; false if not all could be written within a second.
    bool Write(const std::vector<uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
    bool Write(const uint8_t* data, std::size_t count)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(1);
        while (count > 0 && master_ >= 0) {
            const ssize_t n = ::write(master_, data, count);
            if (n > 0) {
                data += n;
                count -= static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (!WaitFor(POLLOUT, deadline))
                return false;
        }
        return count == 0;
    }

    // Reads up to `count` bytes that the port sent, waiting at most
    // `timeout_ms` for all of them; returns what arrived in that time.
    std::vector<uint8_t> Read(std::size_t count, int timeout_ms)
    {
        std::vector<uint8_t> got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (got.size() < count && master_ >= 0) {
            uint8_t buffer[4096];
            const std::size_t want = std::min(sizeof buffer, count - got.size());
            const ssize_t n = ::read(master_, buffer, want);
            if (n > 0) {
                got.insert(got.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
            if (!WaitFor(POLLIN, deadline))
                break;
        }
        return got;
    }

    // Everything the port sent that is waiting now, without waiting.
    std::vector<uint8_t> ReadAvailable() { return Read(SIZE_MAX, 0); }

    // Hangs up the line: the port sees the far end gone.
    void CloseMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    using Clock = std::chrono::steady_clock;

    static void MakeRaw(int fd)
    {
        struct termios t {};
        if (::tcgetattr(fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }

    bool WaitFor(short events, Clock::time_point deadline)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        struct pollfd p {
            master_, events, 0
        };
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        return r > 0 && (p.revents & events) != 0;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slave_path_;
};

}  // namespace varnox::testing
