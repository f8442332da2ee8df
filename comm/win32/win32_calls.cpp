#include "comm/win32/win32_calls.h"

#include <timeapi.h>

#include <thread>

namespace varnox {

namespace {

class SystemCalls final : public Win32Calls {
public:
    BOOL GetState(HANDLE handle, DCB& dcb) override { return GetCommState(handle, &dcb); }
    BOOL SetState(HANDLE handle, DCB& dcb) override { return SetCommState(handle, &dcb); }
    BOOL SetupQueues(HANDLE handle, DWORD in, DWORD out) override { return SetupComm(handle, in, out); }
    BOOL SetTimeouts(HANDLE handle, COMMTIMEOUTS& timeouts) override { return SetCommTimeouts(handle, &timeouts); }
    BOOL Purge(HANDLE handle, DWORD flags) override { return PurgeComm(handle, flags); }
    BOOL ClearError(HANDLE handle, DWORD& errors, COMSTAT& status) override
    {
        return ClearCommError(handle, &errors, &status);
    }
    BOOL Write(HANDLE handle, const void* data, DWORD count, OVERLAPPED& overlapped) override
    {
        return WriteFile(handle, data, count, nullptr, &overlapped);
    }
    BOOL Read(HANDLE handle, void* destination, DWORD count, OVERLAPPED& overlapped) override
    {
        return ReadFile(handle, destination, count, nullptr, &overlapped);
    }
    DWORD WaitFor(HANDLE event, DWORD ms) override { return WaitForSingleObject(event, ms); }
    BOOL Cancel(HANDLE handle, OVERLAPPED& overlapped) override { return CancelIoEx(handle, &overlapped); }
    BOOL Result(HANDLE handle, OVERLAPPED& overlapped, DWORD& transferred) override
    {
        return GetOverlappedResult(handle, &overlapped, &transferred, FALSE);
    }
    BOOL Close(HANDLE handle) override { return CloseHandle(handle); }
    void CloseAside(HANDLE handle) override
    {
        std::thread([handle] { CloseHandle(handle); }).detach();
    }
    DWORD LastError() override { return GetLastError(); }
    void Pause(DWORD ms) override { Sleep(ms); }
    void FineTimer(bool on) override { on ? timeBeginPeriod(1) : timeEndPeriod(1); }
};

}  // namespace

Win32Calls& SystemWin32Calls()
{
    static SystemCalls calls;
    return calls;
}

}  // namespace varnox
