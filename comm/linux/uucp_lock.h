#pragma once
// The UUCP lock file that programs such as minicom and picocom take on a
// serial device (/run/lock/LCK..ttyUSB0, holding the owner's process id as
// ten ASCII digits and a newline). We take one too where the lock folder is
// writable, and respect the live locks of others. Linux only.

#include <string>

#include "comm/linux/port_holder.h"

namespace varnox {

class UucpLock {
public:
    UucpLock() = default;
    ~UucpLock() { Release(); }
    UucpLock(UucpLock&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    UucpLock& operator=(UucpLock&&) = delete;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // Takes the lock on `device_path` in the first writable lock folder.
    // False when a live process other than ours holds one, or when a file at
    // the lock's name is no lock we can read (a link, a FIFO): `holder` then
    // says which. A stale lock (its process is gone) is replaced by ours in
    // one step, so two takers never both win.
    // Without a writable folder no lock is taken, which is no failure.
    bool Take(const std::string& device_path, const HolderSources& sources, std::string& holder);
    // Removes the lock file, if it is still ours.
    void Release();
    // The lock file held; empty when none.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace varnox
