#pragma once
// The Linux serial backend: termios on a device path, ports found through a PortMap.

#include <memory>
#include <string>

#include <map>
#include <set>
#include <vector>

#include "comm/linux/adapter_identity.h"
#include "comm/linux/port_holder.h"
#include "comm/port_map.h"
#include "comm/serial_device.h"

namespace varnox {

// Our longest write is 132 bytes, some 35 ms of line time at 38400 baud; a
// device that has not taken it after this long has stopped draining.
inline constexpr double kWriteTimeoutSeconds = 2.0;

// Opens the device at `path` exclusively (also against root and against
// ourselves), non-blocking, DTR and RTS inactive. The line settings are the
// caller's (SerialPort::Open). On failure returns null and sets `reason`, e.g.
// "/dev/ttyUSB0: the port is in use by another program", followed by the
// likely holder where one is found. `refusal`, when given, says how it failed.
// The device's UUCP lock is taken in the first writable folder of `holders`
// (a live lock of another process makes the port busy) and removed at close.
std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& path, std::string& reason,
                                               double write_timeout_seconds = kWriteTimeoutSeconds,
                                               OpenRefusal* refusal = nullptr, const HolderSources& holders = {});

// Remembers the identity of each USB adapter it opened: a re-open takes only
// that adapter, under its old name or, when that leads to nothing or to
// another adapter, under any name, and maps the port to it. Another adapter
// is refused as missing ("another adapter on PATH: ..."), not opened.
class PosixPortOpener final : public PortOpener {
public:
    explicit PosixPortOpener(PortMap map, TtySources sources = {}, HolderSources holders = {})
        : map_(std::move(map)), sources_(std::move(sources)), holders_(std::move(holders))
    {
    }
    std::unique_ptr<SerialDevice> OpenPort(int port, std::string& reason) override;
    OpenRefusal LastRefusal() const override { return last_refusal_; }
    // Never opens: an open raises DTR and RTS (see LooksFree).
    bool Available(int port) override;
    std::string DeviceName(int port) const override { return map_.PathOf(port); }
    // Maps the listed ports that were not pinned to their devices.
    void Learn(const std::vector<PortInfo>& ports) override;
    // Maps port `port` to `path` for good: Learn leaves it (a command line's COMn=PATH).
    void Pin(int port, const std::string& path)
    {
        map_.Map(port, path);
        pinned_.insert(port);
    }
    std::string LastWarning() const override { return last_warning_; }
    PortMap& Map() { return map_; }

private:
    // Why the device at `path` is not the adapter port `port` had; empty when
    // it is, when none was known (or it had no USB identity), or when nothing is there.
    std::string ForeignAdapter(int port, const std::string& path) const;

    PortMap map_;
    TtySources sources_;
    HolderSources holders_;
    std::map<int, std::string> identities_;
    std::set<int> pinned_;
    OpenRefusal last_refusal_ = OpenRefusal::None;
    std::string last_warning_;
};

}  // namespace varnox
