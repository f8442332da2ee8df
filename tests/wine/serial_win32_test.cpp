// The Windows serial backend, run under Wine: the line settings in the DCB,
// the open failures, and the port itself on a pseudo-terminal that
// tools/wine_test.sh maps to the COM port named in VARNOX_WINE_PORT, with
// pty_peer echo at its far end.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "comm/port_list.h"
#include "comm/serial_port.h"
#include "comm/win32/line_settings_win32.h"
#include "comm/win32/serial_win32.h"
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
    dcb.XonChar = 'Q';
    dcb.XoffChar = 'S';
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = '!';
    return dcb;
}

DCB PanelLineOn(DCB dcb, const LineDescription& line = kPanelLine)
{
    ApplyLine(line, dcb);
    return dcb;
}

TEST(DcbMappingTest, PanelLineSetsTheLineAndTheSpecialCharacters)
{
    const DCB dcb = PanelLineOn(DeviceDcb());
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
    // Limits and special characters are ours, not what the device had.
    EXPECT_EQ(dcb.XonLim, 2048);
    EXPECT_EQ(dcb.XoffLim, 512);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
}

TEST(DcbMappingTest, EveryValueOfTheLine)
{
    for (DWORD rate : {110u, 14400u, 38400u, 56000u, 256000u}) {
        LineDescription line = kPanelLine;
        line.bits_per_second = rate;
        EXPECT_EQ(PanelLineOn(DeviceDcb(), line).BaudRate, rate);
    }
    for (uint8_t index = 0; index <= 4; ++index) {
        LineDescription line = kPanelLine;
        line.parity = static_cast<Parity>(index);
        line.data_bits = static_cast<uint8_t>(index + 4);
        const DCB dcb = PanelLineOn(DeviceDcb(), line);
        EXPECT_EQ(dcb.Parity, index);  // NOPARITY .. SPACEPARITY are 0 .. 4
        EXPECT_EQ(dcb.ByteSize, index + 4);
    }
    for (uint8_t index = 0; index <= 2; ++index) {
        LineDescription line = kPanelLine;
        line.stop_bits = static_cast<StopBits>(index);
        EXPECT_EQ(PanelLineOn(DeviceDcb(), line).StopBits, index);  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    }
    // Data bits the DCB cannot hold keep the device's.
    LineDescription line = kPanelLine;
    line.data_bits = 9;
    EXPECT_EQ(PanelLineOn(DeviceDcb(), line).ByteSize, 7);
}

TEST(DcbMappingTest, ModemLinesAsTheLineSays)
{
    LineDescription line = kPanelLine;
    line.dtr = true;
    DCB dcb = PanelLineOn(DeviceDcb(), line);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    line.rts = true;
    dcb = PanelLineOn(DeviceDcb(), line);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(DcbFlagWord(dcb) & 0x83u, 0x83u);
}

TEST(OpenFailureTest, ReasonsFromTheSystemError)
{
    EXPECT_EQ(Win32OpenFailureText("\\\\.\\COM3", ERROR_ACCESS_DENIED),
              "COM3: the port is in use by another program");
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
    SerialPort comm(200);
    const CommResult opened = comm.Open(opener);
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(opened.kind, CommFailure::OpenRefused);
    EXPECT_EQ(opened.text, kOpenFailedText);
    EXPECT_EQ(opened.system, "COM200: no such port; " + PortsHere(ListPorts()));
}

// The port on a pseudo-terminal with pty_peer echo at the other end.
class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* port = std::getenv("VARNOX_WINE_PORT");
        if (port == nullptr || *port == '\0')
            GTEST_SKIP() << "VARNOX_WINE_PORT is not set (tools/wine_test.sh sets it)";
        comm_.Number = std::atoi(port);
        const CommResult opened = comm_.Open(opener_);
        ASSERT_TRUE(opened.ok()) << opened.system;
        comm_.DiscardInput(clock_);
    }
    void TearDown() override { comm_.Close(); }

    void Send(const std::string& text)
    {
        const CommResult sent = comm_.Send(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        ASSERT_TRUE(sent.ok()) << sent.text << " " << sent.system;
    }
    std::string ReadAll()
    {
        std::vector<uint8_t> bytes(static_cast<std::size_t>(comm_.BytesWaiting()));
        const Received got = comm_.Receive(bytes.data(), bytes.size());
        return std::string(bytes.begin(), bytes.begin() + static_cast<long>(got.count));
    }

    Win32PortOpener opener_;
    SteadyClock clock_;
    SerialPort comm_;
};

TEST_F(PtyPortTest, OpensWithThePanelSettings)
{
    ASSERT_TRUE(comm_.IsOpen());
    const std::optional<DCB> held = DriverLineSettings(*comm_.Device());
    ASSERT_TRUE(held.has_value());
    const DCB& actual = *held;
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
    while (comm_.BytesWaiting() < 132 && Now() - start < 2.0)
        comm_.WaitForInput(clock_, comm_.BytesWaiting(), 2.0 - (Now() - start));
    EXPECT_EQ(comm_.BytesWaiting(), 132);
    EXPECT_EQ(ReadAll(), packet);
    EXPECT_EQ(comm_.BytesWaiting(), 0);
}

TEST_F(PtyPortTest, AReadNeverWaitsForMoreThanIsThere)
{
    uint8_t buffer[100];
    const double start = Now();
    const Received got = comm_.Receive(buffer, sizeof buffer);
    EXPECT_EQ(got.count, 0u);
    EXPECT_LT(Now() - start, 0.1);
    EXPECT_TRUE(got.result.ok()) << got.result.system;
}

TEST_F(PtyPortTest, SilenceTimesOutOnTimeWithoutBurningTheProcessor)
{
    const double cpu = CpuSeconds();
    const double start = Now();
    EXPECT_EQ(comm_.WaitForInput(clock_, 0, 0.5), WaitResult::TimedOut);
    const double waited = Now() - start;
    EXPECT_GE(waited, 0.5);
    EXPECT_LT(waited, 0.65);
    EXPECT_LT(CpuSeconds() - cpu, 0.1);
}

TEST_F(PtyPortTest, NoTimeOnlyLooks)
{
    const double start = Now();
    EXPECT_EQ(comm_.WaitForInput(clock_, 0, 0.0), WaitResult::TimedOut);
    EXPECT_EQ(comm_.WaitForInput(clock_, 0, std::nan("")), WaitResult::TimedOut);
    EXPECT_EQ(comm_.WaitForInput(clock_, 0, -1.0), WaitResult::TimedOut);
    EXPECT_LT(Now() - start, 0.05);
}

TEST_F(PtyPortTest, ALateReplyEndsTheWaitAsItArrives)
{
    const double cpu = CpuSeconds();
    Send("L1234");
    const double start = Now();
    EXPECT_EQ(comm_.WaitForInput(clock_, 0, 2.0), WaitResult::MoreInput);
    const double waited = Now() - start;
    EXPECT_GE(waited, 0.25);
    EXPECT_LT(waited, 0.45);
    EXPECT_LT(CpuSeconds() - cpu, 0.1);
}

TEST_F(PtyPortTest, TheRestOfAPartlyArrivedReplyIsAwaitedWithoutSpinning)
{
    Send("S123");  // "S1" now, "23" 200 ms later
    ASSERT_EQ(comm_.WaitForInput(clock_, 0, 1.0), WaitResult::MoreInput);
    const double cpu = CpuSeconds();
    const double start = Now();
    long waiting = comm_.BytesWaiting();
    ASSERT_EQ(waiting, 2);
    EXPECT_EQ(comm_.WaitForInput(clock_, waiting, 1.0), WaitResult::MoreInput);
    EXPECT_GE(Now() - start, 0.1);
    EXPECT_LT(Now() - start, 0.4);
    EXPECT_LT(CpuSeconds() - cpu, 0.1);
    while (comm_.BytesWaiting() < 4 && Now() - start < 1.0)
        comm_.WaitForInput(clock_, comm_.BytesWaiting(), 0.1);
    EXPECT_EQ(ReadAll(), "S123");
}

TEST_F(PtyPortTest, ClosingTwiceIsHarmlessAndThePortOpensAgain)
{
    EXPECT_TRUE(comm_.Close().ok());
    EXPECT_FALSE(comm_.IsOpen());
    EXPECT_TRUE(comm_.Close().ok());
    EXPECT_EQ(comm_.BytesWaiting(), 0);

    // As the start-up probe and then the update do.
    const CommResult opened = comm_.Open(opener_);
    ASSERT_TRUE(opened.ok()) << opened.system;
    Send("again");
    EXPECT_EQ(comm_.WaitForInput(clock_, 0, 1.0), WaitResult::MoreInput);
}

}  // namespace
}  // namespace varnox
