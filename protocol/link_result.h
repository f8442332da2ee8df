#pragma once
// How a service-protocol exchange ended: its kind, and the text the user is
// shown for it (verbatim, as the technician knows it).

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

    bool ok() const { return failure == LinkFailure::None; }
    bool failed() const { return failure != LinkFailure::None; }
    const char* text() const { return LinkFailureText(failure); }
};

}  // namespace varnox
