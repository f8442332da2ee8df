// The Linux backend on real pseudo-terminals: configuration, transparency,
// exclusive opening, waiting without spinning, and the port record on top.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <filesystem>
#include <thread>
#include <vector>

#include "comm/linux/serial_linux.h"
#include "comm/port_list.h"
#include "comm/serial_port.h"
#include "tests/support/pty_pair.h"

namespace varnox {
namespace {

using testing::PtyPair;

double ProcessCpuSeconds()
{
    struct timespec t {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The descriptor this process holds on `path`; -1 when none.
int DescriptorOn(const std::string& path)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == path)
            return std::stoi(entry.path().filename().string());
    }
    return -1;
}

// Opens ports with a short write time-out, so that a stalled line fails fast.
class QuickWriteOpener final : public PortOpener {
public:
    explicit QuickWriteOpener(std::string path) : path_(std::move(path)) {}
    std::unique_ptr<SerialDevice> OpenPort(int, std::string& reason) override
    {
        return OpenSerialDevice(path_, reason, 0.2);
    }
    std::string DeviceName(int) const override { return path_; }

private:
    std::string path_;
};

// No lock files here (tests/comm/uucp_lock_test.cpp has them): the
// holder named is the process with the device open.
const HolderSources kNoLocks{"/proc", {}};

class PtyPortTest : public ::testing::Test {
protected:
    PtyPair pty;
    PosixPortOpener opener{PortMap{}, TtySources{}, kNoLocks};
    SteadyClock clock;
    SerialPort comm{3};

    void SetUp() override { opener.Map().Map(3, pty.SlavePath()); }

    void OpenPanelPort()
    {
        const CommResult opened = comm.Open(opener);
        ASSERT_TRUE(opened.ok()) << opened.system;
    }

    // Waits (at most a second) until `count` bytes are waiting on the port.
    bool AwaitWaiting(long count)
    {
        const double deadline = clock.Now() + 1.0;
        while (comm.BytesWaiting() < count) {
            const double left = deadline - clock.Now();
            if (left <= 0 || comm.WaitForInput(clock, comm.BytesWaiting(), left) == WaitResult::Gone)
                return false;
        }
        return comm.BytesWaiting() == count;
    }
};

TEST_F(PtyPortTest, OpensARawPortWithThePanelSettings)
{
    OpenPanelPort();
    const int fd = DescriptorOn(pty.SlavePath());
    ASSERT_GE(fd, 0);
    struct termios t {};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B38400);
    EXPECT_EQ(cfgetispeed(&t), B38400);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | INPCK | ISTRIP | PARMRK), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
}

TEST_F(PtyPortTest, BytesPassUnchangedBothWays)
{
    OpenPanelPort();
    std::vector<uint8_t> bytes = {0x00, 0x11, 0x13, 0xFF, '\n', '\r', 0x03, 0x1A, 0x7F, 0x04};
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<uint8_t>(value));

    EXPECT_TRUE(comm.Send(bytes.data(), bytes.size()).ok());
    EXPECT_EQ(pty.Read(bytes.size(), 2000), bytes);

    ASSERT_TRUE(pty.Write(bytes));
    ASSERT_TRUE(AwaitWaiting(static_cast<long>(bytes.size())));
    std::vector<uint8_t> got(bytes.size() + 10, 0xEE);
    EXPECT_EQ(comm.Receive(got.data(), got.size()).count, bytes.size());
    got.resize(bytes.size());
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(comm.BytesWaiting(), 0);
}

TEST_F(PtyPortTest, PortHeldInThisProcessIsBusy)
{
    OpenPanelPort();
    SerialPort second{3};
    const CommResult refused = second.Open(opener);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(refused.kind, CommFailure::OpenRefused);
    EXPECT_EQ(refused.text, "Device identifier is invalid or unsupported");
    // Our own hold is not named as another program's.
    EXPECT_EQ(refused.system, pty.SlavePath() + ": the port is in use by another program");
    EXPECT_EQ(opener.LastRefusal(), OpenRefusal::Busy);
    // The refused open leaves the holder's exclusive mode alone.
    int exclusive = 0;
    ASSERT_EQ(::ioctl(DescriptorOn(pty.SlavePath()), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    // Once released, it opens again.
    comm.Close();
    const CommResult opened = second.Open(opener);
    EXPECT_TRUE(opened.ok()) << opened.system;
}

TEST_F(PtyPortTest, PortHeldByAnotherProcessIsBusy)
{
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(10);  // never outlive a test that went wrong
        ::close(ready[0]);
        ::close(release[1]);
        std::string reason;
        auto device = OpenSerialDevice(pty.SlavePath(), reason, kWriteTimeoutSeconds, nullptr, kNoLocks);
        const char status = device ? 'y' : 'n';
        (void)!::write(ready[1], &status, 1);
        char ignored;
        (void)!::read(release[0], &ignored, 1);  // until the parent is done, or gone
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char status = 0;
    EXPECT_EQ(::read(ready[0], &status, 1), 1);
    EXPECT_EQ(status, 'y');

    EXPECT_FALSE(opener.Available(3));
    const CommResult refused = comm.Open(opener);
    EXPECT_FALSE(comm.IsOpen());
    // The refusal names the process that holds the port.
    EXPECT_EQ(refused.system, pty.SlavePath() +
                                  ": the port is in use by another program; likely held by test_comm (process " +
                                  std::to_string(child) + ")");
    EXPECT_EQ(opener.LastRefusal(), OpenRefusal::Busy);

    ::close(release[1]);
    ::close(ready[0]);
    int child_status = 0;
    EXPECT_EQ(::waitpid(child, &child_status, 0), child);
    EXPECT_TRUE(opener.Available(3));
    const CommResult opened = comm.Open(opener);
    EXPECT_TRUE(opened.ok()) << opened.system;
}

// The port menu's probe on a port another program set to 9600 without
// parity, with input waiting: found free, and left exactly as it was.
TEST_F(PtyPortTest, TheProbeLeavesThePortAsItFoundIt)
{
    const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    struct termios before {};
    ASSERT_EQ(::tcgetattr(other, &before), 0);
    ::cfsetspeed(&before, B9600);
    before.c_cflag &= ~(PARENB | CSIZE);
    before.c_cflag |= CS8;
    ASSERT_EQ(::tcsetattr(other, TCSANOW, &before), 0);
    pty.Write({0x55, 0xAA});
    int waiting = 0;
    for (int i = 0; i < 100 && waiting < 2; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        ::ioctl(other, FIONREAD, &waiting);

    EXPECT_TRUE(opener.Available(3));
    struct termios after {};
    ASSERT_EQ(::tcgetattr(other, &after), 0);
    EXPECT_EQ(::cfgetospeed(&after), B9600);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(::ioctl(other, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 2);  // nothing flushed
    ::close(other);
}

TEST_F(PtyPortTest, MissingUnmappedAndNonSerialPathsFail)
{
    const struct {
        int port;
        const char* path;
        std::string reason;
    } rows[] = {
        {4, "/dev/varnox-no-such-port", "/dev/varnox-no-such-port: no such device; " + PortsHere(ListPorts())},
        {5, nullptr, "COM5: no serial device is mapped to this port; " + PortsHere(ListPorts())},
        {6, "/dev/null", "/dev/null: not a serial device"},
    };
    for (const auto& row : rows) {
        if (row.path)
            opener.Map().Map(row.port, row.path);
        comm.Number = row.port;
        const CommResult refused = comm.Open(opener);
        EXPECT_FALSE(comm.IsOpen());
        EXPECT_EQ(refused.kind, CommFailure::OpenRefused);
        EXPECT_EQ(refused.text, "Device identifier is invalid or unsupported");
        EXPECT_EQ(refused.system, row.reason);
    }
    EXPECT_FALSE(opener.Available(4));
    EXPECT_FALSE(opener.Available(5));
}

// A request that stops on undecodable data leaves the port open, and the
// retry re-opens it: our own exclusive hold must not make that fail.
TEST_F(PtyPortTest, ReopensThePortItStillHolds)
{
    OpenPanelPort();
    OpenPanelPort();

    const uint8_t frame[] = {0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x00};
    EXPECT_TRUE(comm.Send(frame, sizeof frame).ok());
    EXPECT_EQ(pty.Read(sizeof frame, 1000), std::vector<uint8_t>(frame, frame + sizeof frame));
    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(PtyPortTest, DiscardDropsWhatIsWaiting)
{
    OpenPanelPort();
    comm.DiscardInput(clock);  // nothing waiting
    EXPECT_EQ(comm.BytesWaiting(), 0);

    ASSERT_TRUE(pty.Write(std::vector<uint8_t>(10, 0x42)));
    ASSERT_TRUE(AwaitWaiting(10));
    comm.DiscardInput(clock);
    EXPECT_EQ(comm.BytesWaiting(), 0);
}

TEST_F(PtyPortTest, DiscardEndsWhileThePeerKeepsWriting)
{
    OpenPanelPort();
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        const std::vector<uint8_t> noise(512, 0x55);
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!stop && std::chrono::steady_clock::now() < give_up)
            pty.Write(noise);
    });
    EXPECT_EQ(comm.WaitForInput(clock, 0, 2.0), WaitResult::MoreInput);
    const auto start = std::chrono::steady_clock::now();
    comm.DiscardInput(clock);
    const auto took = std::chrono::steady_clock::now() - start;
    stop = true;
    chatter.join();
    EXPECT_LT(took, std::chrono::seconds(5));
}

TEST_F(PtyPortTest, WaitReportsNewInput)
{
    OpenPanelPort();
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Write({0x01, 0x02, 0x03});
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty.Write({0x04});
    });
    EXPECT_EQ(comm.WaitForInput(clock, 0, 5.0), WaitResult::MoreInput);
    ASSERT_TRUE(AwaitWaiting(3));
    // Bytes already waiting make poll() return at once: the wait for the
    // fourth must sleep, not spin.
    const double cpu_before = ProcessCpuSeconds();
    EXPECT_EQ(comm.WaitForInput(clock, 3, 5.0), WaitResult::MoreInput);
    sender.join();
    EXPECT_LT(ProcessCpuSeconds() - cpu_before, 0.08);
    EXPECT_EQ(comm.BytesWaiting(), 4);
}

TEST_F(PtyPortTest, WaitTimesOutWithoutBurningTheProcessor)
{
    OpenPanelPort();
    for (long seen : {0L, 2L}) {
        SCOPED_TRACE(seen == 0 ? "nothing waiting" : "two bytes already waiting");
        if (seen == 2) {
            ASSERT_TRUE(pty.Write({0xAA, 0xBB}));
            ASSERT_TRUE(AwaitWaiting(2));
        }
        const double cpu_before = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(comm.WaitForInput(clock, seen, 0.3), WaitResult::TimedOut);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, std::chrono::milliseconds(290));
        EXPECT_LT(took, std::chrono::seconds(3));
        // A spinning wait would use about 300 ms of processor time.
        EXPECT_LT(ProcessCpuSeconds() - cpu_before, 0.1);
    }
}

TEST_F(PtyPortTest, WaitWithoutTimeOnlyLooks)
{
    OpenPanelPort();
    for (double timeout : {0.0, -1.0, std::nan("")})
        EXPECT_EQ(comm.WaitForInput(clock, 0, timeout), WaitResult::TimedOut);
    ASSERT_TRUE(pty.Write({0x01}));
    ASSERT_TRUE(AwaitWaiting(1));
    EXPECT_EQ(comm.WaitForInput(clock, 0, 0.0), WaitResult::MoreInput);
}

TEST_F(PtyPortTest, WaitReportsAPeerThatHungUp)
{
    OpenPanelPort();
    pty.CloseMaster();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(comm.WaitForInput(clock, 0, 5.0), WaitResult::Gone);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(comm.BytesWaiting(), 0);
    uint8_t byte = 0;
    const Received got = comm.Receive(&byte, 1);
    EXPECT_EQ(got.count, 0u);
    EXPECT_EQ(got.result.system, pty.SlavePath() + ": the line is gone");
    EXPECT_TRUE(comm.Close().ok());
    EXPECT_FALSE(comm.IsOpen());
}

// What the far end sent before the open belongs to an earlier program.
TEST_F(PtyPortTest, InputLeftBeforeTheOpenIsDropped)
{
    ASSERT_TRUE(pty.Write({1, 2, 3}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string reason;
    const std::unique_ptr<SerialDevice> device = OpenSerialDevice(pty.SlavePath(), reason);
    ASSERT_TRUE(device) << reason;
    EXPECT_EQ(device->BytesWaiting(), 0);
    EXPECT_EQ(device->Warning(), "");  // a pseudo-terminal has no driver to warn about
}

TEST_F(PtyPortTest, WriteToALineThatStoppedDrainingFails)
{
    QuickWriteOpener quick(pty.SlavePath());
    const CommResult opened = comm.Open(quick);
    ASSERT_TRUE(opened.ok()) << opened.system;
    uint8_t packet[132];
    for (std::size_t i = 0; i < sizeof packet; ++i)
        packet[i] = static_cast<uint8_t>(i);
    // Nobody reads the far end: the pty fills up and the write must give up.
    const auto start = std::chrono::steady_clock::now();
    CommResult sent;
    for (int i = 0; i < 5000 && sent.ok(); ++i)
        sent = comm.Send(packet, sizeof packet);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(sent.kind, CommFailure::WriteFailed);
    EXPECT_EQ(sent.text, "General error 0");  // a pty has no error counters
    EXPECT_EQ(sent.system, pty.SlavePath() + ": the device stopped taking data (write timed out)");
    // What is still queued holds the close for half a second at most.
    const auto closing = std::chrono::steady_clock::now();
    EXPECT_TRUE(comm.Close().ok());
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::milliseconds(700));
}

}  // namespace
}  // namespace varnox
