// The far end of a pseudo-terminal for the Windows serial tests under Wine:
// prints the slave's path on its first stdout line, then answers what the
// Windows side writes, until it is killed.
//
//   pty_peer echo     echoes every chunk; a chunk starting with 'L' comes
//                     back 300 ms late, one starting with 'S' in two halves
//                     200 ms apart
//   pty_peer silent   never answers (a port with no panel behind it)

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr auto kLateDelay = std::chrono::milliseconds(300);
constexpr auto kSplitDelay = std::chrono::milliseconds(200);

void WriteAll(int fd, const unsigned char* data, std::size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(fd, data, count);
        if (written <= 0)
            return;
        data += written;
        count -= static_cast<std::size_t>(written);
    }
}

void Answer(int master, const unsigned char* chunk, std::size_t count)
{
    if (chunk[0] == 'L') {
        std::this_thread::sleep_for(kLateDelay);
        WriteAll(master, chunk, count);
    } else if (chunk[0] == 'S' && count >= 2) {
        WriteAll(master, chunk, count / 2);
        std::this_thread::sleep_for(kSplitDelay);
        WriteAll(master, chunk + count / 2, count - count / 2);
    } else {
        WriteAll(master, chunk, count);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "echo" && mode != "silent") {
        std::fprintf(stderr, "usage: pty_peer echo|silent\n");
        return 2;
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("pty_peer: no pseudo-terminal");
        return 1;
    }
    const char* slave_path = ::ptsname(master);
    // Held open so that the master never sees a hang-up between the Windows
    // side's opens; raw, so that the line discipline echoes nothing itself.
    const int slave = ::open(slave_path, O_RDWR | O_NOCTTY);
    struct termios raw {};
    if (slave < 0 || ::tcgetattr(slave, &raw) != 0) {
        std::perror("pty_peer: cannot open the slave");
        return 1;
    }
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    std::printf("%s\n", slave_path);
    std::fflush(stdout);

    unsigned char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(master, chunk, sizeof chunk);
        if (got > 0 && mode == "echo")
            Answer(master, chunk, static_cast<std::size_t>(got));
    }
}
