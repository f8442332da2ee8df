// The Windows serial backend, run under Wine: the line settings in the DCB,
// the open failures, and the port itself on a pseudo-terminal that
// tools/wine_test.sh maps to the COM port named in VARNOX_WINE_PORT, with
// pty_peer echo at its far end.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "comm/comm.h"
#include "comm/line_settings_win32.h"
#include "comm/serial_win32.h"
#include "core/clock.h"

namespace varnox {
namespace {

double Now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// User and kernel time of this process, in seconds.
double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

// A DCB as a device might hand it over: every field set to something else.
DCB DeviceDcb()
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 1234;
    SetDcbFlagWord(dcb, 0xFFFFFFFF);
    dcb.XonLim = 11;
    dcb.XoffLim = 22;
    dcb.ByteSize = 7;
    dcb.Parity = ODDPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = '!';
    return dcb;
}

TComm PanelRecord(int port)
{
    TComm comm;
    InitPanelLineSettings(comm, port);
    comm.Dcb = DeviceDcb();
    return comm;
}

TEST(DcbMappingTest, PanelSettingsOverwriteOnlyTheirFields)
{
    TComm comm = PanelRecord(3);
    ApplyLineSettings(comm);
    const DCB& dcb = comm.Dcb;
    EXPECT_EQ(dcb.BaudRate, 38400u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(DcbFlagWord(dcb), 0x83u);
    // 0x83 bit by bit: raw, parity checked, transmit goes on after XOFF;
    // no flow control of any kind, DTR and RTS held inactive.
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    // Limits and special characters stay as the device had them.
    EXPECT_EQ(dcb.XonLim, 11);
    EXPECT_EQ(dcb.XoffLim, 22);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.EvtChar, '!');
}

TEST(DcbMappingTest, EveryIndexOfTheTables)
{
    const DWORD rates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 128000, 256000};
    for (uint8_t index = 0; index < 13; ++index) {
        TComm comm = PanelRecord(1);
        comm.BaudIndex = index;
        ApplyLineSettings(comm);
        EXPECT_EQ(comm.Dcb.BaudRate, rates[index]) << "BaudIndex " << int(index);
    }
    for (uint8_t index = 0; index <= 4; ++index) {
        TComm comm = PanelRecord(1);
        comm.ParityIndex = index;
        comm.ByteSizeIndex = index;
        ApplyLineSettings(comm);
        EXPECT_EQ(comm.Dcb.Parity, index);  // NOPARITY .. SPACEPARITY are 0 .. 4
        EXPECT_EQ(comm.Dcb.ByteSize, index + 4);
    }
    for (uint8_t index = 0; index <= 2; ++index) {
        TComm comm = PanelRecord(1);
        comm.StopBitsIndex = index;
        ApplyLineSettings(comm);
        EXPECT_EQ(comm.Dcb.StopBits, index);  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    }
}

TEST(DcbMappingTest, IndexesBeyondTheTablesKeepTheDeviceValues)
{
    TComm comm = PanelRecord(1);
    comm.BaudIndex = 13;
    comm.ParityIndex = 5;
    comm.ByteSizeIndex = 5;
    comm.StopBitsIndex = 3;
    ApplyLineSettings(comm);
    EXPECT_EQ(comm.Dcb.BaudRate, 1234u);
    EXPECT_EQ(comm.Dcb.Parity, ODDPARITY);
    EXPECT_EQ(comm.Dcb.ByteSize, 7);
    EXPECT_EQ(comm.Dcb.StopBits, TWOSTOPBITS);

    for (uint8_t flow : {1, 2}) {
        TComm flowing = PanelRecord(1);
        flowing.FlowIndex = flow;
        ApplyLineSettings(flowing);
        EXPECT_EQ(DcbFlagWord(flowing.Dcb), 0x83u) << "FlowIndex " << int(flow);
    }
}

TEST(OpenFailureTest, ReasonsFromTheSystemError)
{
    EXPECT_EQ(Win32OpenFailureText("\\\\.\\COM3", ERROR_ACCESS_DENIED), "COM3: the port is in use by another program");
    EXPECT_EQ(Win32OpenFailureText("\\\\.\\COM3", ERROR_SHARING_VIOLATION),
              "COM3: the port is in use by another program");
    EXPECT_EQ(Win32OpenFailureText("\\\\.\\COM12", ERROR_FILE_NOT_FOUND), "COM12: no such port");
    EXPECT_EQ(Win32OpenFailureText("\\\\.\\COM12", ERROR_PATH_NOT_FOUND), "COM12: no such port");
    const std::string other = Win32OpenFailureText("\\\\.\\COM5", ERROR_GEN_FAILURE);
    EXPECT_EQ(other.rfind("COM5: ", 0), 0u) << other;
    EXPECT_NE(other.find("(error 31)"), std::string::npos) << other;
}

TEST(PortNameTest, ComNUsesTheDeviceNamespaceUnlessMapped)
{
    EXPECT_EQ(Win32DeviceName(3), "\\\\.\\COM3");
    EXPECT_EQ(Win32DeviceName(12), "\\\\.\\COM12");
    PortMap overrides;
    overrides.Map(1, "\\\\.\\COM12");
    Win32PortOpener opener(overrides);
    EXPECT_EQ(opener.DeviceName(1), "\\\\.\\COM12");
    EXPECT_EQ(opener.DeviceName(2), "\\\\.\\COM2");
}

TEST(PortNameTest, AMissingPortFailsWithItsReason)
{
    Win32PortOpener opener;
    TComm comm;
    InitPanelLineSettings(comm, 200);
    EXPECT_FALSE(OpenComm(comm, opener));
    EXPECT_EQ(comm.Handle, -1);
    EXPECT_EQ(comm.ErrorText, kOpenFailedText);
    EXPECT_EQ(comm.OpenFailureReason, "COM200: no such port");
}

// The port on a pseudo-terminal with pty_peer echo at the other end.
class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* port = std::getenv("VARNOX_WINE_PORT");
        if (port == nullptr || *port == '\0')
            GTEST_SKIP() << "VARNOX_WINE_PORT is not set (tools/wine_test.sh sets it)";
        port_ = std::atoi(port);
        InitPanelLineSettings(comm_, port_);
        ASSERT_TRUE(OpenComm(comm_, opener_)) << comm_.OpenFailureReason;
        FlushInput(comm_, clock_);
    }
    void TearDown() override { CloseComm(comm_); }

    void Send(const std::string& text)
    {
        WriteComm(comm_, reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint16_t>(text.size()));
        ASSERT_TRUE(comm_.ErrorText.empty()) << comm_.ErrorText;
    }
    std::string ReadAll()
    {
        std::vector<uint8_t> bytes(static_cast<std::size_t>(BytesWaiting(comm_)));
        const long got = ReadComm(comm_, bytes.data(), static_cast<uint16_t>(bytes.size()));
        return std::string(bytes.begin(), bytes.begin() + got);
    }

    int port_ = 0;
    Win32PortOpener opener_;
    SteadyClock clock_;
    TComm comm_;
};

TEST_F(PtyPortTest, OpensWithThePanelSettings)
{
    EXPECT_GE(comm_.Handle, 0);
    DCB actual{};
    actual.DCBlength = sizeof actual;
    ASSERT_TRUE(comm_.Device->GetSettings(actual)) << comm_.Device->LastError();
    EXPECT_EQ(actual.BaudRate, 38400u);
    EXPECT_EQ(actual.ByteSize, 8);
    EXPECT_EQ(actual.StopBits, ONESTOPBIT);
    // A pseudo-terminal keeps no parity, so that one is not read back.
}

TEST_F(PtyPortTest, WrittenBytesComeBackAndAreReadExactly)
{
    std::string packet(132, '\0');
    for (std::size_t i = 0; i < packet.size(); ++i)
        packet[i] = static_cast<char>(i * 7 + 1);
    Send(packet);
    const double start = Now();
    while (BytesWaiting(comm_) < 132 && Now() - start < 2.0)
        WaitForInput(comm_, clock_, BytesWaiting(comm_), 2.0 - (Now() - start));
    EXPECT_EQ(BytesWaiting(comm_), 132);
    EXPECT_EQ(ReadAll(), packet);
    EXPECT_EQ(BytesWaiting(comm_), 0);
}

TEST_F(PtyPortTest, AReadNeverWaitsForMoreThanIsThere)
{
    uint8_t buffer[100];
    const double start = Now();
    EXPECT_EQ(ReadComm(comm_, buffer, sizeof buffer), 0);
    EXPECT_LT(Now() - start, 0.1);
    EXPECT_TRUE(comm_.ErrorText.empty()) << comm_.ErrorText;
}

TEST_F(PtyPortTest, SilenceTimesOutOnTimeWithoutBurningTheProcessor)
{
    const double cpu = CpuSeconds();
    const double start = Now();
    EXPECT_EQ(WaitForInput(comm_, clock_, 0, 0.5), WaitResult::TimedOut);
    const double waited = Now() - start;
    EXPECT_GE(waited, 0.5);
    EXPECT_LT(waited, 0.65);
    EXPECT_LT(CpuSeconds() - cpu, 0.1);
}

TEST_F(PtyPortTest, NoTimeOnlyLooks)
{
    const double start = Now();
    EXPECT_EQ(WaitForInput(comm_, clock_, 0, 0.0), WaitResult::TimedOut);
    EXPECT_EQ(WaitForInput(comm_, clock_, 0, std::nan("")), WaitResult::TimedOut);
    EXPECT_EQ(WaitForInput(comm_, clock_, 0, -1.0), WaitResult::TimedOut);
    EXPECT_LT(Now() - start, 0.05);
}

TEST_F(PtyPortTest, ALateReplyEndsTheWaitAsItArrives)
{
    const double cpu = CpuSeconds();
    Send("L1234");
    const double start = Now();
    EXPECT_EQ(WaitForInput(comm_, clock_, 0, 2.0), WaitResult::MoreInput);
    const double waited = Now() - start;
    EXPECT_GE(waited, 0.25);
    EXPECT_LT(waited, 0.45);
    EXPECT_LT(CpuSeconds() - cpu, 0.1);
}

TEST_F(PtyPortTest, TheRestOfAPartlyArrivedReplyIsAwaitedWithoutSpinning)
{
    Send("S123");  // "S1" now, "23" 200 ms later
    ASSERT_EQ(WaitForInput(comm_, clock_, 0, 1.0), WaitResult::MoreInput);
    const double cpu = CpuSeconds();
    const double start = Now();
    long waiting = BytesWaiting(comm_);
    ASSERT_EQ(waiting, 2);
    EXPECT_EQ(WaitForInput(comm_, clock_, waiting, 1.0), WaitResult::MoreInput);
    EXPECT_GE(Now() - start, 0.1);
    EXPECT_LT(Now() - start, 0.4);
    EXPECT_LT(CpuSeconds() - cpu, 0.1);
    while (BytesWaiting(comm_) < 4 && Now() - start < 1.0)
        WaitForInput(comm_, clock_, BytesWaiting(comm_), 0.1);
    EXPECT_EQ(ReadAll(), "S123");
}

TEST_F(PtyPortTest, ClosingTwiceIsHarmlessAndThePortOpensAgain)
{
    CloseComm(comm_);
    EXPECT_EQ(comm_.Handle, -1);
    CloseComm(comm_);
    EXPECT_EQ(comm_.Handle, -1);
    EXPECT_TRUE(comm_.ErrorText.empty());
    EXPECT_EQ(BytesWaiting(comm_), 0);

    // As the start-up probe and then the update do.
    ASSERT_TRUE(OpenComm(comm_, opener_)) << comm_.OpenFailureReason;
    Send("again");
    EXPECT_EQ(WaitForInput(comm_, clock_, 0, 1.0), WaitResult::MoreInput);
}

}  // namespace
}  // namespace varnox
