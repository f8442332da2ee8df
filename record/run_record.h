#pragma once
// What one run of the tool leaves in the per-user run record: one line of
// runs.jsonl for every run that got as far as reading the panel's identity.
// Fields a run never reached stay empty (std::nullopt) and are left out of
// the line.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnox {

// Stable tokens of RunRecord::Ending; tools that read the record match on them.
namespace run_ending {
inline constexpr const char* kCompleted = "completed";
inline constexpr const char* kIdentityReadFailed = "identity-read-failed";
inline constexpr const char* kReleaseRejected = "release-rejected";
inline constexpr const char* kNoFirmware = "no-firmware";
inline constexpr const char* kStandInRefused = "stand-in-refused";
inline constexpr const char* kEepromFailed = "eeprom-failed";
inline constexpr const char* kHandshakeFailed = "handshake-failed";
inline constexpr const char* kMicroKernelFailed = "microkernel-failed";
inline constexpr const char* kFlashFailed = "flash-failed";
inline constexpr const char* kInterrupted = "interrupted";
}  // namespace run_ending

// Stable tokens of RunRecord::Verification.
namespace run_verification {
inline constexpr const char* kVerified = "verified";
inline constexpr const char* kNoAnswer = "no-answer";
inline constexpr const char* kOtherFirmware = "other-firmware";
inline constexpr const char* kNotRun = "not-run";
}  // namespace run_verification

using IdentityBytes = std::array<uint8_t, 6>;

// The image a run chose to write.
struct RecordedImage {
    std::string Name;    // e.g. "FWKA1AVRXGAA0I_2x04"
    std::string Sha256;  // 64 lowercase hex digits
    bool StandIn = false;

    bool operator==(const RecordedImage&) const = default;
};

// Failed attempts, counted per phase (an attempt retried and then answered
// counts too: the count shows a poor line even when the run completed).
struct FailedAttempts {
    int Eeprom = 0;
    int Handshake = 0;
    int MicroKernel = 0;
    int Flash = 0;

    bool operator==(const FailedAttempts&) const = default;
};

// One kind of failure within a phase: how often, and the last words the system
// or the line gave for it (empty where there were none).
struct FailureCount {
    std::string Kind;  // e.g. "no-answer", "bad-checksum", "write-failed", "gone", "framing", "parity", "overrun"
    int Count = 0;
    std::string LastText;

    bool operator==(const FailureCount&) const = default;
};

// One phase of a run as it went: when it started and ended, when attempts
// failed and when the adapter came back, in seconds since the run's start on
// the run's own (monotonic) clock, and what failed, by kind.
struct PhaseRecord {
    std::string Name;  // "identity", "eeprom", "handshake", "microkernel", "flash", "verification"
    double Start = 0;
    double End = 0;
    std::vector<double> FailedAt;
    std::vector<double> ReconnectedAt;
    std::vector<FailureCount> Failures;

    bool operator==(const PhaseRecord&) const = default;
};

struct RunRecord {
    // Kept to the second in the file.
    std::chrono::system_clock::time_point Start{};
    std::chrono::system_clock::time_point End{};
    std::string Program;                          // "varnox-patch" or "varnox-patch-cli"
    std::string Version;                          // "2.04"
    std::string Port;                             // as chosen: "COM1" or a device path
    std::optional<std::string> Adapter;           // what the port layer knows of the adapter behind the port
    std::optional<IdentityBytes> IdentityBefore;  // absent when the identity read failed
    std::optional<std::string> FirmwareBefore;    // the firmware name the identity gives
    std::optional<RecordedImage> Image;
    FailedAttempts Failed;
    int Reopens = 0;
    std::string Ending;  // a run_ending token
    std::string Verification = run_verification::kNotRun;
    std::optional<IdentityBytes> IdentityAfter;
    int ExitStatus = 0;
    std::string Technician;           // as given in the window; empty: not given
    std::vector<PhaseRecord> Phases;  // in the order the run went through them; empty in older lines

    bool operator==(const RunRecord&) const = default;
};

// The records read back from a file, oldest first.
struct RecordLog {
    std::vector<RunRecord> Records;
    int SkippedLines = 0;  // lines that hold no readable record (torn by a power cut, edited, ...)
};

}  // namespace varnox
