#pragma once
// Who probably holds a serial device that would not open: a process that has
// it open (ModemManager and brltty grab fresh USB adapters), or the owner of a
// UUCP lock file. Linux only; a hint for the port-error box, never a verdict.

#include <functional>
#include <string>
#include <vector>

#include "comm/linux/lock_file.h"

namespace varnox {

struct HolderSources {
    std::string Proc = "/proc";
    std::vector<std::string> LockFolders = {"/run/lock", "/var/lock"};
    // Tests: called when a lock has been judged stale, before it is taken over.
    std::function<void()> BeforeTakeover = nullptr;
};

// Whether process `pid` exists, as `proc` (/proc) shows it.
bool ProcessAlive(const std::string& proc, long pid);

// "locked by minicom (process 4021) through /run/lock/LCK..ttyUSB0" when a
// live process other than ours holds a lock file on the device, "cannot read
// the lock file PATH (not a regular file)" when one is no lock we can read;
// else empty.
std::string LockHolder(const std::string& device_path, const HolderSources& sources = {});

// The lock file's name for a device: LCK.. and the base name of the device
// a link leads to ("LCK..ttyUSB0"); empty when the device cannot be named.
std::string LockFileName(const std::string& device_path);

// "likely held by ModemManager (process 812)" or "locked by minicom (process
// 4021) through /run/lock/LCK..ttyUSB0"; empty when no holder is found.
// Our own process does not count.
std::string LikelyHolder(const std::string& device_path, const HolderSources& sources = {});

// Whether the device at `device_path` looks free to us without opening it:
// a character device we may read and write, with no live lock file and no
// other process of ours (or, as root, of anyone) holding it. An open would
// tell more but disturbs: the tty layer raises DTR and RTS on every open
// (O_NONBLOCK too) unless the speed is B0, also under a holder that did not
// set TIOCEXCL, USB drivers such as ftdi_sio send their settings to the chip
// on the first open, and the last close drops DTR and RTS (HUPCL, the default).
bool LooksFree(const std::string& device_path, const HolderSources& sources = {});

}  // namespace varnox
