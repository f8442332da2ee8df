#pragma once
// How an exchange with the panel ended: its kind, the text the user is shown
// for it (verbatim, as the technician knows it), and why, as far as the port
// can tell: the port call that failed on the way and the line's error flags.

#include <cstdint>
#include <string>

#include "comm/comm_result.h"

namespace varnox {

enum class LinkFailure {
    None,
    NoAnswer,       // fewer bytes waiting than the reply needs
    BadData,        // the input is not exactly one well-formed frame
    BadChecksum,    // the reply's check byte differs
    CountTooLarge,  // the caller asked for more than kMaxRequestCount bytes; nothing was sent
};

inline constexpr const char* kNoAnswerText = "Errore Lettura da centrale : No Answer";
inline constexpr const char* kBadDataText = "Errore Lettura da centrale : BAD DATA       ";
inline constexpr const char* kBadChecksumText = "Errore Lettura da centrale : BAD CKSUM";
inline constexpr const char* kCountTooLargeText = "Errore Lettura da centrale : COUNT > 247";

// The text of a failure; empty for None.
const char* LinkFailureText(LinkFailure failure);

struct LinkResult {
    LinkFailure failure = LinkFailure::None;
    // The send or read that failed during the exchange (None when both went through).
    CommResult port;
    // The line's error flags when the exchange failed.
    uint32_t line_errors = 0;
    // The device went away during the exchange: only a re-open can help.
    bool gone = false;

    bool ok() const { return failure == LinkFailure::None; }
    bool failed() const { return failure != LinkFailure::None; }
    const char* text() const { return LinkFailureText(failure); }

    static LinkResult Failed(LinkFailure failure, CommResult port = {})
    {
        return {failure, std::move(port), 0, false};
    }
};

// The failure's one-word kind for the run record, the most telling cause
// first: "write-failed", "gone", "framing", "parity", "overrun", "break",
// then "no-answer", "bad-data", "bad-checksum", "count-too-large".
std::string FailureKind(const LinkResult& result);
// The system's words for it; empty where the system said nothing.
std::string FailureWords(const LinkResult& result);

}  // namespace varnox
