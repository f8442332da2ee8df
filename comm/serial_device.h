#pragma once
// The platform side of a serial port, kept small so that one file per platform
// (serial_linux.cpp now, a Win32 file beside it later) and the simulated link
// can each provide it. Everything above this interface is portable.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <termios.h>
#endif

namespace varnox {

// The platform's line-settings block: the DCB on Windows, the termios here.
#ifdef _WIN32
using PlatformLineSettings = DCB;
#else
using PlatformLineSettings = struct termios;
#endif

// How a wait for input ended.
enum class WaitResult {
    MoreInput,  // more bytes are waiting than the caller already saw
    TimedOut,   // the time ran out with no new byte
    Gone,       // the peer hung up or the device vanished; waiting again is useless
};

// Communication error flags, as the port reports them (low 16 bits).
enum CommErrorFlag : uint32_t {
    kRxQueueOverflow = 0x0001,
    kRxOverrun = 0x0002,
    kRxParity = 0x0004,
    kRxFraming = 0x0008,
    kBreak = 0x0010,
};

// One open device. Destroying it closes it.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // The OS handle (file descriptor here), for display and tests; never negative.
    virtual int Handle() const = 0;

    // Read and write the line settings. On failure, false and LastError() says why.
    virtual bool GetSettings(PlatformLineSettings& settings) = 0;
    virtual bool SetSettings(const PlatformLineSettings& settings) = 0;

    // Writes all bytes, giving up after a bounded time. False when not all went out.
    virtual bool Write(const uint8_t* data, std::size_t count) = 0;
    // Reads at most `count` bytes that are already waiting; never blocks.
    // Returns the number of bytes read, or -1 on failure.
    virtual long Read(uint8_t* destination, std::size_t count) = 0;
    // Number of received bytes waiting; -1 when the device failed.
    virtual long BytesWaiting() = 0;
    // Communication error flags gathered since the last call, then cleared.
    virtual uint32_t TakeErrorFlags() = 0;
    // Waits until more than `seen` bytes are waiting, at most `timeout_seconds`.
    virtual WaitResult WaitForInput(long seen, double timeout_seconds) = 0;

    // Closes the device; false when the platform refused (the device then stays open).
    virtual bool Close() = 0;

    // Text of the last OS failure, captured where it happened.
    virtual std::string LastError() const = 0;
};

// Turns a port number (COMn) into an open device. The platform opener maps
// numbers to device paths; the simulated link hands out simulated devices.
class PortOpener {
public:
    virtual ~PortOpener() = default;
    // Opens port `port` exclusively. On failure returns null and sets `reason`
    // to what the system said (busy, permission denied, no such device...).
    virtual std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) = 0;
    // The device that port `port` maps to, for display ("/dev/ttyUSB0").
    virtual std::string DeviceName(int port) const = 0;
};

}  // namespace varnox
