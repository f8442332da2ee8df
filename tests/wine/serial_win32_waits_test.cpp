// The Windows backend's waits against a fake of the system calls: drivers
// that do not end a cancelled transfer, and drivers that end the wait for a
// first byte at once with none. Real drivers do either only when faulty.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "comm/win32/serial_win32.h"
#include "comm/win32/win32_calls.h"

namespace varnox {
namespace {

double Now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

enum class Driver {
    NeverEnds,    // transfers stay pending, cancelled or not
    EmptyAtOnce,  // reads complete at once with no byte
};

class FakeCalls final : public Win32Calls {
public:
    explicit FakeCalls(Driver driver) : driver_(driver) {}

    int calls = 0;
    int reads = 0;
    int pauses = 0;
    int closes = 0;
    int purges = 0;
    int fine_timer = 0;  // 1 ms timer periods asked for and not given back
    int closed_aside = 0;
    int byte_after_reads = 0;  // the driver's queue holds a byte after this many reads (0: never)
    DWORD out_queue = 0;       // bytes the driver never sends

    BOOL GetState(HANDLE, DCB& dcb) override
    {
        ++calls;
        dcb = DCB{};
        dcb.DCBlength = sizeof dcb;
        return TRUE;
    }
    BOOL SetState(HANDLE, DCB&) override { return ++calls, TRUE; }
    BOOL SetupQueues(HANDLE, DWORD, DWORD) override { return ++calls, TRUE; }
    BOOL SetTimeouts(HANDLE, COMMTIMEOUTS&) override { return ++calls, TRUE; }
    BOOL Purge(HANDLE, DWORD) override { return ++calls, ++purges, TRUE; }
    BOOL ClearError(HANDLE, DWORD& errors, COMSTAT& status) override
    {
        ++calls;
        errors = 0;
        status = COMSTAT{};
        status.cbInQue = byte_after_reads > 0 && reads >= byte_after_reads ? 1 : 0;
        status.cbOutQue = out_queue;
        return TRUE;
    }
    BOOL Write(HANDLE, const void*, DWORD, OVERLAPPED&) override { return ++calls, Started(); }
    BOOL Read(HANDLE, void*, DWORD, OVERLAPPED&) override { return ++calls, ++reads, Started(); }
    DWORD WaitFor(HANDLE, DWORD ms) override
    {
        ++calls;
        if (driver_ == Driver::EmptyAtOnce)
            return WAIT_OBJECT_0;
        Sleep(ms);
        return WAIT_TIMEOUT;
    }
    BOOL Cancel(HANDLE, OVERLAPPED&) override { return ++calls, TRUE; }
    BOOL Result(HANDLE, OVERLAPPED&, DWORD& transferred) override
    {
        ++calls;
        transferred = 0;
        return driver_ == Driver::EmptyAtOnce;
    }
    BOOL Close(HANDLE) override { return ++calls, ++closes, TRUE; }
    void CloseAside(HANDLE) override { ++closed_aside; }
    DWORD LastError() override { return last_error_; }
    void FineTimer(bool on) override { fine_timer += on ? 1 : -1; }
    void Pause(DWORD ms) override
    {
        ++calls;
        ++pauses;
        Sleep(ms);
    }

private:
    BOOL Started()
    {
        if (driver_ == Driver::EmptyAtOnce)
            return TRUE;
        last_error_ = ERROR_IO_PENDING;
        return FALSE;
    }

    Driver driver_;
    DWORD last_error_ = ERROR_SUCCESS;
};

class FakeDriverTest : public ::testing::Test {
protected:
    std::unique_ptr<SerialDevice> Open(FakeCalls& calls, double write_timeout_seconds = 0.2)
    {
        std::string reason;
        auto device = AdoptWin32SerialDevice(reinterpret_cast<HANDLE>(0x40), "\\\\.\\COM7", calls, reason,
                                             write_timeout_seconds);
        EXPECT_TRUE(device) << reason;
        return device;
    }
};

// After the cancel, half a second and no more; then the handle is left alone
// until it is closed aside.
TEST_F(FakeDriverTest, ACancelTheDriverNeverEndsLeavesTheDeviceGone)
{
    FakeCalls calls(Driver::NeverEnds);
    auto device = Open(calls);
    ASSERT_TRUE(device);
    const double start = Now();
    EXPECT_EQ(device->WaitForInput(0, 0.2), WaitResult::Gone);
    const double waited = Now() - start;
    EXPECT_GE(waited, 0.65);
    EXPECT_LT(waited, 1.0);

    const int calls_when_gone = calls.calls;
    uint8_t buffer[4];
    std::size_t delivered = 99;
    const CommResult read = device->Read(buffer, sizeof buffer, delivered);
    EXPECT_EQ(read.kind, CommFailure::ReadFailed);
    EXPECT_NE(read.system.find("COM7: the device stopped answering"), std::string::npos) << read.system;
    EXPECT_EQ(delivered, 0u);
    EXPECT_EQ(device->Write(buffer, 1).kind, CommFailure::WriteFailed);
    EXPECT_EQ(device->WaitForInput(0, 1.0), WaitResult::Gone);
    EXPECT_EQ(device->BytesWaiting(), -1);
    EXPECT_TRUE(device->Configure(LineDescription{}).failed());
    EXPECT_TRUE(device->Close().ok());
    EXPECT_EQ(calls.calls, calls_when_gone);
    EXPECT_EQ(calls.closes, 0);
    EXPECT_EQ(calls.closed_aside, 1);  // else the device could not be removed, nor come back
    EXPECT_EQ(calls.fine_timer, 0);    // given back all the same
}

TEST_F(FakeDriverTest, AWriteTheDriverNeverEndsIsBoundedToo)
{
    FakeCalls calls(Driver::NeverEnds);
    auto device = Open(calls, 0.2);
    ASSERT_TRUE(device);
    const uint8_t packet[3] = {1, 2, 3};
    const double start = Now();
    const CommResult written = device->Write(packet, sizeof packet);
    EXPECT_LT(Now() - start, 1.0);
    EXPECT_EQ(written.kind, CommFailure::WriteFailed);
    EXPECT_NE(written.system.find("stopped answering"), std::string::npos) << written.system;
    EXPECT_EQ(device->WaitForInput(0, 0.5), WaitResult::Gone);
}

// Each empty read is followed by a pause: a handful of reads, not thousands.
TEST_F(FakeDriverTest, ReadsEndingAtOnceWithNothingDoNotSpin)
{
    FakeCalls calls(Driver::EmptyAtOnce);
    auto device = Open(calls);
    ASSERT_TRUE(device);
    const double start = Now();
    EXPECT_EQ(device->WaitForInput(0, 0.3), WaitResult::TimedOut);
    const double waited = Now() - start;
    EXPECT_GE(waited, 0.3);
    EXPECT_LT(waited, 0.45);
    EXPECT_GE(calls.pauses, 1);
    EXPECT_LE(calls.reads, 0.3 / 0.005 + 2);
    EXPECT_TRUE(device->Close().ok());
    EXPECT_EQ(calls.closes, 1);
}

TEST_F(FakeDriverTest, AByteArrivingBetweenThePausesEndsTheWait)
{
    FakeCalls calls(Driver::EmptyAtOnce);
    calls.byte_after_reads = 5;
    auto device = Open(calls);
    ASSERT_TRUE(device);
    const double start = Now();
    EXPECT_EQ(device->WaitForInput(0, 2.0), WaitResult::MoreInput);
    EXPECT_LT(Now() - start, 0.5);
    EXPECT_EQ(device->BytesWaiting(), 1);
}

// Both queues are purged at open; at close a stuck output queue gets half
// a second, then is purged, and the handle is closed.
TEST_F(FakeDriverTest, QueuesArePurgedAtOpenAndAStuckOutputHoldsTheCloseBriefly)
{
    FakeCalls calls(Driver::EmptyAtOnce);
    calls.out_queue = 10;
    auto device = Open(calls);
    ASSERT_TRUE(device);
    EXPECT_EQ(calls.purges, 1);
    EXPECT_EQ(calls.fine_timer, 1);  // a 1 ms timer period while open
    const double start = Now();
    EXPECT_TRUE(device->Close().ok());
    const double waited = Now() - start;
    EXPECT_GE(waited, 0.5);
    EXPECT_LT(waited, 0.7);
    EXPECT_EQ(calls.purges, 2);
    EXPECT_EQ(calls.closes, 1);
    EXPECT_EQ(calls.fine_timer, 0);

    FakeCalls drained(Driver::EmptyAtOnce);
    auto quick = Open(drained);
    ASSERT_TRUE(quick);
    const double quick_start = Now();
    EXPECT_TRUE(quick->Close().ok());
    EXPECT_LT(Now() - quick_start, 0.05);
    EXPECT_EQ(drained.pauses, 0);
}

}  // namespace
}  // namespace varnox
