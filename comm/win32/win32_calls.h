#pragma once
// The Windows calls the serial backend makes, behind one interface: the
// real ones for the program, a fake in the tests to drive what real drivers
// only do when they misbehave (cancelled I/O that never ends, reads that
// complete at once with nothing).

#include <windows.h>

namespace varnox {

class Win32Calls {
public:
    virtual ~Win32Calls() = default;
    virtual BOOL GetState(HANDLE handle, DCB& dcb) = 0;
    virtual BOOL SetState(HANDLE handle, DCB& dcb) = 0;
    virtual BOOL SetupQueues(HANDLE handle, DWORD in, DWORD out) = 0;
    virtual BOOL SetTimeouts(HANDLE handle, COMMTIMEOUTS& timeouts) = 0;
    virtual BOOL Purge(HANDLE handle, DWORD flags) = 0;
    virtual BOOL ClearError(HANDLE handle, DWORD& errors, COMSTAT& status) = 0;
    virtual BOOL Write(HANDLE handle, const void* data, DWORD count, OVERLAPPED& overlapped) = 0;
    virtual BOOL Read(HANDLE handle, void* destination, DWORD count, OVERLAPPED& overlapped) = 0;
    virtual DWORD WaitFor(HANDLE event, DWORD ms) = 0;
    virtual BOOL Cancel(HANDLE handle, OVERLAPPED& overlapped) = 0;
    virtual BOOL Result(HANDLE handle, OVERLAPPED& overlapped, DWORD& transferred) = 0;
    virtual BOOL Close(HANDLE handle) = 0;
    // Closes a handle whose driver did not end a cancelled transfer, on a
    // thread of its own, since that driver may hold the close too.
    virtual void CloseAside(HANDLE handle) = 0;
    virtual DWORD LastError() = 0;
    virtual void Pause(DWORD ms) = 0;
    // Asks for (or gives back) a 1 ms timer period, so that waits of a
    // millisecond or two do not each cost a whole timer tick (15.6 ms).
    virtual void FineTimer(bool on) = 0;
};

// The system's own calls.
Win32Calls& SystemWin32Calls();

}  // namespace varnox
