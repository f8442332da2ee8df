// What the Linux backend does for USB serial adapters: it asks for low-latency
// mode (without it an adapter holds received bytes up to 16 ms, a tenth of
// the first acknowledgement look), accepts an adapter that refuses, and never
// waits long on an adapter that has gone.
//
// A pseudo-terminal has no serial_struct, so this program stands in for the
// adapter's driver: its own ioctl() answers TIOCGSERIAL and TIOCSSERIAL for
// the test's pseudo-terminal and passes everything else on to the C library.

#include <dlfcn.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <vector>

#include <gtest/gtest.h>

#include "comm/linux/serial_linux.h"
#include "comm/port_map.h"
#include "comm/serial_port.h"
#include "tests/support/pty_pair.h"

namespace {

// The driver's side of TIOCGSERIAL / TIOCSSERIAL for one device.
struct FakeSerialDriver {
    bool active = false;
    dev_t device = 0;
    bool supported = true;  // false: the driver knows no serial_struct (ENOTTY)
    int set_error = 0;      // errno for TIOCSSERIAL, 0 to accept
    int flags = 0;          // the driver's current flags
    int custom_divisor = 0;
    bool keeps_divisor = false;                  // a driver that ignores a request to clear it
    int closing_wait = ASYNC_CLOSING_WAIT_NONE;  // in 10 ms units
    std::vector<int> set_calls;
};

FakeSerialDriver g_driver;

bool IsFakeDevice(int fd)
{
    struct stat st {};
    return g_driver.active && ::fstat(fd, &st) == 0 && st.st_rdev == g_driver.device;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);

    if ((request == TIOCGSERIAL || request == TIOCSSERIAL) && IsFakeDevice(fd)) {
        auto* serial = static_cast<serial_struct*>(argument);
        if (!g_driver.supported) {
            errno = ENOTTY;
            return -1;
        }
        if (request == TIOCGSERIAL) {
            *serial = serial_struct{};
            serial->flags = g_driver.flags;
            serial->custom_divisor = g_driver.custom_divisor;
            serial->closing_wait = static_cast<unsigned short>(g_driver.closing_wait);
            return 0;
        }
        g_driver.set_calls.push_back(serial->flags);
        if (g_driver.set_error != 0) {
            errno = g_driver.set_error;
            return -1;
        }
        g_driver.flags = serial->flags;
        g_driver.closing_wait = serial->closing_wait;
        if (!g_driver.keeps_divisor)
            g_driver.custom_divisor = serial->custom_divisor;
        return 0;
    }
    using IoctlFunction = int (*)(int, unsigned long, ...);
    static const auto next = reinterpret_cast<IoctlFunction>(::dlsym(RTLD_NEXT, "ioctl"));
    return next(fd, request, argument);
}

namespace varnox::testing {
namespace {

class UsbAdapter : public ::testing::Test {
protected:
    void SetUp() override
    {
        struct stat st {};
        ASSERT_EQ(::stat(pty.SlavePath().c_str(), &st), 0);
        g_driver = FakeSerialDriver{};
        g_driver.device = st.st_rdev;
        g_driver.active = true;
    }
    void TearDown() override
    {
        comm.Close();
        g_driver.active = false;
    }
    PortMap Map()
    {
        PortMap map;
        map.Map(1, pty.SlavePath());
        return map;
    }

    PtyPair pty;
    SerialPort comm{1};
};

TEST_F(UsbAdapter, AsksForLowLatencyKeepingTheOtherFlags)
{
    g_driver.flags = ASYNC_SKIP_TEST;
    PosixPortOpener opener(Map());
    ASSERT_TRUE(comm.Open(opener).ok());
    ASSERT_EQ(g_driver.set_calls.size(), 1u);
    EXPECT_EQ(g_driver.set_calls[0], ASYNC_SKIP_TEST | ASYNC_LOW_LATENCY);
}

TEST_F(UsbAdapter, LeavesAnAdapterAlreadyInLowLatencyAlone)
{
    g_driver.flags = ASYNC_LOW_LATENCY;
    PosixPortOpener opener(Map());
    ASSERT_TRUE(comm.Open(opener).ok());
    EXPECT_TRUE(g_driver.set_calls.empty());
}

TEST_F(UsbAdapter, AnAdapterThatRefusesStillServes)
{
    for (int refusal : {EPERM, EINVAL, ENOTTY}) {
        g_driver.set_calls.clear();
        g_driver.set_error = refusal;
        PosixPortOpener opener(Map());
        ASSERT_TRUE(comm.Open(opener).ok());
        EXPECT_EQ(g_driver.set_calls.size(), 1u);
        const uint8_t byte = 0x5A;
        comm.Send(&byte, 1);
        EXPECT_EQ(pty.Read(1, 1000), std::vector<uint8_t>{0x5A}) << "refusal " << refusal;
        comm.Close();
    }
}

// The driver's 30 s closing wait would let a stuck adapter hold close().
TEST_F(UsbAdapter, TheClosingWaitIsTurnedOff)
{
    g_driver.flags = ASYNC_SKIP_TEST;
    g_driver.closing_wait = 3000;
    PosixPortOpener opener(Map());
    ASSERT_TRUE(comm.Open(opener).ok());
    EXPECT_EQ(g_driver.closing_wait, ASYNC_CLOSING_WAIT_NONE);
    EXPECT_EQ(g_driver.flags, ASYNC_SKIP_TEST | ASYNC_LOW_LATENCY);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(comm.Close().ok());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

TEST_F(UsbAdapter, ADriverWithoutSerialSettingsIsNotAsked)
{
    g_driver.supported = false;
    PosixPortOpener opener(Map());
    ASSERT_TRUE(comm.Open(opener).ok());
    EXPECT_TRUE(g_driver.set_calls.empty());
}

// What another program left makes 38400 mean another rate: cleared, and
// checked, so that the panel's line is what it seems.
TEST_F(UsbAdapter, ACustomSpeedLeftOnThePortIsCleared)
{
    g_driver.flags = ASYNC_LOW_LATENCY | ASYNC_SPD_CUST;
    g_driver.custom_divisor = 24;
    PosixPortOpener opener(Map());
    ASSERT_TRUE(comm.Open(opener).ok());
    EXPECT_EQ(g_driver.flags, ASYNC_LOW_LATENCY);
    EXPECT_EQ(g_driver.custom_divisor, 0);
    comm.Close();

    g_driver.flags = ASYNC_LOW_LATENCY | ASYNC_SPD_HI;
    g_driver.custom_divisor = 0;
    ASSERT_TRUE(comm.Open(opener).ok());
    EXPECT_EQ(g_driver.flags, ASYNC_LOW_LATENCY);
    comm.Close();

    g_driver.custom_divisor = 24;
    g_driver.keeps_divisor = true;
    const CommResult refused = comm.Open(opener);
    EXPECT_EQ(refused.kind, CommFailure::LineRefused);
    EXPECT_NE(refused.system.find("the port keeps a custom speed"), std::string::npos) << refused.system;
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(UsbAdapter, AnAdapterThatWentAwayEndsEveryCallAtOnce)
{
    PosixPortOpener opener(Map());
    ASSERT_TRUE(comm.Open(opener).ok());
    pty.CloseMaster();

    SteadyClock clock;
    const auto start = std::chrono::steady_clock::now();
    uint8_t packet[132] = {};
    CommResult sent;
    for (int i = 0; i < 20; ++i)
        sent = comm.Send(packet, sizeof packet);
    EXPECT_EQ(sent.kind, CommFailure::WriteFailed);
    EXPECT_EQ(comm.BytesWaiting(), 0);
    EXPECT_EQ(comm.Receive(packet, sizeof packet).count, 0u);
    EXPECT_EQ(comm.WaitForInput(clock, 0, 5.0), WaitResult::Gone);
    comm.DiscardInput(clock);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.5);
}

}  // namespace
}  // namespace varnox::testing
