#pragma once
// Where varnox-panel-sim's port is: one line on stdout for each terminal it
// plays the panel on, and optionally a symbolic link that follows the panel
// from terminal to terminal, as udev's /dev/serial/by-id links follow a USB
// adapter that was pulled and plugged in again.

#include <string>

namespace varnox {

class PortAnnouncer {
public:
    // No link when `link_path` is empty.
    explicit PortAnnouncer(std::string link_path = {});
    // Removes the link it made, unless something else has taken its place.
    ~PortAnnouncer();
    PortAnnouncer(const PortAnnouncer&) = delete;
    PortAnnouncer& operator=(const PortAnnouncer&) = delete;

    // Points the link at `path`, then prints `path` and a newline on stdout
    // and flushes: whoever reads the line finds the link already there. The
    // link is replaced by a rename, so it is never missing or half made.
    // False with the reason when the link cannot be made, or when `link_path`
    // is taken by anything but a link to a pseudo-terminal.
    bool Announce(const std::string& path, std::string& error);

private:
    std::string link_path_;
    bool linked_ = false;
    std::string linked_to_;  // the terminal the link was last pointed at
};

}  // namespace varnox
