#pragma once
// Port numbers (COM1..COM8 in the window) to device paths.

#include <map>
#include <string>
#include <vector>

namespace varnox {

class PortMap {
public:
    // Maps COMn to the n-th real serial port found on this machine: USB and
    // ACM adapters first, then on-board ttyS ports that really exist.
    static PortMap Discover(const std::string& sys_class_tty = "/sys/class/tty");

    // Maps port `port` to `path`, replacing what it mapped to before.
    void Map(int port, const std::string& path) { paths_[port] = path; }
    // The device path of port `port`; empty when it maps to nothing.
    std::string PathOf(int port) const;

    // Parses "COMn" (case-insensitive, n 1..256, as many as Windows numbers); 0 when it is not one.
    static int ParsePortName(const std::string& name);

private:
    std::map<int, std::string> paths_;
};

}  // namespace varnox
