#pragma once
// Who probably holds a serial device that would not open: a process that has
// it open (ModemManager and brltty grab fresh USB adapters), or the owner of a
// UUCP lock file. Linux only; a hint for the port-error box, never a verdict.

#include <string>
#include <vector>

namespace varnox {

struct HolderSources {
    std::string Proc = "/proc";
    std::vector<std::string> LockFolders = {"/run/lock", "/var/lock"};
};

// The process id a UUCP lock file names (ten ASCII digits, or a binary int
// from older programs); 0 when the file holds neither.
long LockFilePid(const std::string& path);

// Whether process `pid` exists, as `proc` (/proc) shows it.
bool ProcessAlive(const std::string& proc, long pid);

// "locked by minicom (process 4021) through /run/lock/LCK..ttyUSB0" when a
// live process other than ours holds a lock file on the device; else empty.
std::string LockHolder(const std::string& device_path, const HolderSources& sources = {});

// The lock file's name for a device: LCK.. and the base name of the device
// a link leads to ("LCK..ttyUSB0"); empty when the device cannot be named.
std::string LockFileName(const std::string& device_path);

// "likely held by ModemManager (process 812)" or "locked by minicom (process
// 4021) through /run/lock/LCK..ttyUSB0"; empty when no holder is found.
// Our own process does not count.
std::string LikelyHolder(const std::string& device_path, const HolderSources& sources = {});

}  // namespace varnox
