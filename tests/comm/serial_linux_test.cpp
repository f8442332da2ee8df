// The Linux backend on real pseudo-terminals: configuration, transparency,
// exclusive opening, waiting without spinning, and the shared port on top.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <chrono>
#include <thread>
#include <vector>

#include "comm/comm.h"
#include "comm/serial_linux.h"
#include "comm/shared_port.h"
#include "tests/support/pty_pair.h"
#include "tests/support/recording_window.h"

namespace varnox {
namespace {

using testing::PtyPair;

double ProcessCpuSeconds()
{
    struct timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
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

class PtyPortTest : public ::testing::Test {
protected:
    PtyPair pty;
    PosixPortOpener opener{PortMap{}};
    SteadyClock clock;
    TComm comm;

    void SetUp() override { opener.Map().Map(3, pty.SlavePath()); }

    void OpenPanelPort()
    {
        InitPanelLineSettings(comm, 3);
        ASSERT_TRUE(OpenComm(comm, opener)) << comm.OpenFailureReason;
    }

    // Waits (at most a second) until `count` bytes are waiting on the port.
    bool AwaitWaiting(long count)
    {
        const double deadline = clock.Now() + 1.0;
        while (BytesWaiting(comm) < count) {
            const double left = deadline - clock.Now();
            if (left <= 0 || WaitForInput(comm, clock, BytesWaiting(comm), left) == WaitResult::Gone)
                return false;
        }
        return BytesWaiting(comm) == count;
    }
};

TEST_F(PtyPortTest, OpensARawPortWithThePanelSettings)
{
    OpenPanelPort();
    ASSERT_GE(comm.Handle, 0);
    EXPECT_TRUE(comm.ErrorText.empty());
    struct termios t{};
    ASSERT_EQ(::tcgetattr(comm.Handle, &t), 0);
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
    EXPECT_NE(::fcntl(comm.Handle, F_GETFD) & FD_CLOEXEC, 0);
}

TEST_F(PtyPortTest, BytesPassUnchangedBothWays)
{
    OpenPanelPort();
    std::vector<uint8_t> bytes = {0x00, 0x11, 0x13, 0xFF, '\n', '\r', 0x03, 0x1A, 0x7F, 0x04};
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<uint8_t>(value));

    WriteComm(comm, bytes.data(), static_cast<uint16_t>(bytes.size()));
    EXPECT_TRUE(comm.ErrorText.empty());
    EXPECT_EQ(pty.Read(bytes.size(), 2000), bytes);

    ASSERT_TRUE(pty.Write(bytes));
    ASSERT_TRUE(AwaitWaiting(static_cast<long>(bytes.size())));
    std::vector<uint8_t> got(bytes.size() + 10, 0xEE);
    EXPECT_EQ(ReadComm(comm, got.data(), static_cast<uint16_t>(got.size())), static_cast<long>(bytes.size()));
    got.resize(bytes.size());
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(BytesWaiting(comm), 0);
}

TEST_F(PtyPortTest, PortHeldInThisProcessIsBusy)
{
    OpenPanelPort();
    TComm second;
    InitPanelLineSettings(second, 3);
    EXPECT_FALSE(OpenComm(second, opener));
    EXPECT_EQ(second.Handle, -1);
    EXPECT_EQ(second.ErrorText, "Device identifier is invalid or unsupported");
    EXPECT_EQ(second.OpenFailureReason, pty.SlavePath() + ": the port is in use by another program");
    // The refused open leaves the holder's exclusive mode alone.
    int exclusive = 0;
    ASSERT_EQ(::ioctl(comm.Handle, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    // Once released, it opens again.
    CloseComm(comm);
    EXPECT_TRUE(OpenComm(second, opener)) << second.OpenFailureReason;
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
        auto device = OpenSerialDevice(pty.SlavePath(), reason);
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

    InitPanelLineSettings(comm, 3);
    EXPECT_FALSE(OpenComm(comm, opener));
    EXPECT_EQ(comm.Handle, -1);
    EXPECT_EQ(comm.OpenFailureReason, pty.SlavePath() + ": the port is in use by another program");

    ::close(release[1]);
    ::close(ready[0]);
    int child_status = 0;
    EXPECT_EQ(::waitpid(child, &child_status, 0), child);
    EXPECT_TRUE(OpenComm(comm, opener)) << comm.OpenFailureReason;
}

TEST_F(PtyPortTest, MissingUnmappedAndNonSerialPathsFail)
{
    const struct {
        int port;
        const char* path;
        std::string reason;
    } rows[] = {
        {4, "/dev/varnox-no-such-port", "/dev/varnox-no-such-port: no such device"},
        {5, nullptr, "COM5: no serial device is mapped to this port"},
        {6, "/dev/null", "/dev/null: not a serial device"},
    };
    for (const auto& row : rows) {
        if (row.path)
            opener.Map().Map(row.port, row.path);
        InitPanelLineSettings(comm, row.port);
        EXPECT_FALSE(OpenComm(comm, opener));
        EXPECT_EQ(comm.Handle, -1);
        EXPECT_EQ(comm.ErrorText, "Device identifier is invalid or unsupported");
        EXPECT_EQ(comm.OpenFailureReason, row.reason);
    }
}

TEST_F(PtyPortTest, SharedPortShowsOneBoxForAMissingPort)
{
    testing::RecordingWindow window;
    SharedPort shared(opener, window);
    opener.Map().Map(4, "/dev/varnox-no-such-port");
    EXPECT_FALSE(shared.OpenDefaultPort(4));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].Kind, BoxKind::Error);
    EXPECT_EQ(window.boxes[0].Title, "Error");
    EXPECT_EQ(window.boxes[0].Text, "Impossibile accedere alla porta seriale");
    EXPECT_EQ(window.boxes[0].Detail, "/dev/varnox-no-such-port: no such device");
    EXPECT_EQ(shared.CurrentComm, &shared.DefaultComm);
    EXPECT_EQ(shared.DefaultComm.Handle, -1);
    EXPECT_EQ(shared.DefaultComm.ErrorText, "Device identifier is invalid or unsupported");
}

// A request that stops on undecodable data leaves the port open, and the
// retry re-opens it: our own exclusive hold must not make that fail.
TEST_F(PtyPortTest, SharedPortReopensThePortItStillHolds)
{
    testing::RecordingWindow window;
    SharedPort shared(opener, window);
    ASSERT_TRUE(shared.OpenDefaultPort(3));
    ASSERT_TRUE(shared.OpenDefaultPort(3));
    EXPECT_TRUE(window.boxes.empty());

    const uint8_t frame[] = {0x06, 0x01, 0x06, 0xFE, 0xD0, 0x97, 0x00};
    WriteComm(*shared.CurrentComm, frame, sizeof frame);
    EXPECT_EQ(pty.Read(sizeof frame, 1000), std::vector<uint8_t>(frame, frame + sizeof frame));
    shared.CloseDefaultPort();
    EXPECT_FALSE(shared.IsOpen());
}

TEST_F(PtyPortTest, FlushInputDropsWhatIsWaiting)
{
    OpenPanelPort();
    FlushInput(comm, clock);  // nothing waiting
    EXPECT_EQ(BytesWaiting(comm), 0);

    ASSERT_TRUE(pty.Write(std::vector<uint8_t>(10, 0x42)));
    ASSERT_TRUE(AwaitWaiting(10));
    FlushInput(comm, clock);
    EXPECT_EQ(BytesWaiting(comm), 0);
}

TEST_F(PtyPortTest, FlushInputEndsWhileThePeerKeepsWriting)
{
    OpenPanelPort();
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        const std::vector<uint8_t> noise(512, 0x55);
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!stop && std::chrono::steady_clock::now() < give_up)
            pty.Write(noise);
    });
    EXPECT_EQ(WaitForInput(comm, clock, 0, 2.0), WaitResult::MoreInput);
    const auto start = std::chrono::steady_clock::now();
    FlushInput(comm, clock);
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
    EXPECT_EQ(WaitForInput(comm, clock, 0, 5.0), WaitResult::MoreInput);
    ASSERT_TRUE(AwaitWaiting(3));
    // Bytes already waiting make poll() return at once: the wait for the
    // fourth must sleep, not spin.
    const double cpu_before = ProcessCpuSeconds();
    EXPECT_EQ(WaitForInput(comm, clock, 3, 5.0), WaitResult::MoreInput);
    sender.join();
    EXPECT_LT(ProcessCpuSeconds() - cpu_before, 0.08);
    EXPECT_EQ(BytesWaiting(comm), 4);
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
        EXPECT_EQ(WaitForInput(comm, clock, seen, 0.3), WaitResult::TimedOut);
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
        EXPECT_EQ(WaitForInput(comm, clock, 0, timeout), WaitResult::TimedOut);
    ASSERT_TRUE(pty.Write({0x01}));
    ASSERT_TRUE(AwaitWaiting(1));
    EXPECT_EQ(WaitForInput(comm, clock, 0, 0.0), WaitResult::MoreInput);
}

TEST_F(PtyPortTest, WaitReportsAPeerThatHungUp)
{
    OpenPanelPort();
    pty.CloseMaster();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForInput(comm, clock, 0, 5.0), WaitResult::Gone);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(BytesWaiting(comm), 0);
    uint8_t byte = 0;
    EXPECT_EQ(ReadComm(comm, &byte, 1), 0);
    CloseComm(comm);
    EXPECT_EQ(comm.Handle, -1);
}

TEST_F(PtyPortTest, WriteToALineThatStoppedDrainingFails)
{
    QuickWriteOpener quick(pty.SlavePath());
    InitPanelLineSettings(comm, 3);
    ASSERT_TRUE(OpenComm(comm, quick)) << comm.OpenFailureReason;
    uint8_t packet[132];
    for (std::size_t i = 0; i < sizeof packet; ++i)
        packet[i] = static_cast<uint8_t>(i);
    // Nobody reads the far end: the pty fills up and the write must give up.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5000 && comm.ErrorText.empty(); ++i)
        WriteComm(comm, packet, sizeof packet);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(comm.ErrorText, "General error 0");  // a pty has no error counters
    EXPECT_EQ(comm.Device->LastError(), pty.SlavePath() + ": the device stopped taking data (write timed out)");
}

}  // namespace
}  // namespace varnox
