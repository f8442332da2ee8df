#pragma once
// The simulated panel at real time on a pseudo-terminal. The tool opens the
// terminal's slave side as its serial port; this server plays the panel on
// the master side: it feeds what the tool writes into the panel logic with
// CLOCK_MONOTONIC time stamps and writes each reply byte when it is due.
// It sleeps in ppoll until the next reply is due, a byte arrives or a stop
// signal comes; it never spins.

#include <csignal>
#include <string>

#include "core/clock.h"
#include "sim/port_announcer.h"
#include "sim/sim_panel.h"
#include "trace/wire_transcript.h"

namespace varnox {

// A file descriptor that closes itself.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release();
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

// SIGINT and SIGTERM, blocked for as long as this lives and delivered
// through a descriptor that ppoll can wait on.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the descriptor could not be made (see Error()).
    bool Ok() const { return static_cast<bool>(fd_); }
    const std::string& Error() const { return error_; }
    int Fd() const { return fd_.Get(); }

private:
    sigset_t previous_{};
    UniqueFd fd_;
    std::string error_;
};

class PtyServer {
public:
    enum class Stop {
        Signal,     // SIGINT or SIGTERM
        Restarted,  // the panel has restarted after the end packet
        Failed,     // the pseudo-terminal failed (see the error text)
    };

    // Creates the pseudo-terminal, raw, and keeps a descriptor of the slave
    // side open, so that the master sees no hang-up when the tool closes and
    // re-opens the port. False with the reason on failure.
    bool Open(std::string& error);
    // E.g. "/dev/pts/4".
    const std::string& SlavePath() const { return slave_path_; }

    // Serves `panel` until a stop signal or, with `exit_after_restart`, until
    // it has restarted after the end packet. When the panel's adapter is
    // pulled, the pseudo-terminal is closed and the port vanishes; after a
    // dropout with return the panel comes back on a new pseudo-terminal,
    // which `announcer` makes known.
    Stop Serve(SimPanel& panel, Clock& clock, const StopSignals& signals, WireTranscript& transcript,
               PortAnnouncer& announcer, bool exit_after_restart, std::string& error);

private:
    void Pull(double now, WireTranscript& transcript);
    void Drop(double now, WireTranscript& transcript);
    bool Return(double now, WireTranscript& transcript, PortAnnouncer& announcer, std::string& error);

    UniqueFd master_;
    UniqueFd slave_;
    std::string slave_path_;
    // During a dropout: the old slave side, held so that the terminal's
    // number stays taken and the panel returns under a new name.
    UniqueFd dropped_slave_;
    bool away_ = false;
};

}  // namespace varnox
