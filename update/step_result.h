#pragma once
// How a step of the update ended: a kind, the text behind it where there is
// one (a failed request's text, as the log shows it), and the exchange that
// failed, with why.

#include <string>

#include "protocol/link_result.h"

namespace varnox {

enum class StepFailure {
    None,
    Stopped,          // a stop was requested before the step or one of its attempts
    LinkFailed,       // a service-protocol request failed; the text says how
    NoImagePart,      // the working image holds no such part to write
    NotAcknowledged,  // the loader did not accept the packet in its attempts
    Differs,          // the panel's EEPROM still differs from what was written
};

struct StepResult {
    StepFailure kind = StepFailure::None;
    std::string text;
    LinkResult link;  // the failed exchange of a LinkFailed or NotAcknowledged step

    bool ok() const { return kind == StepFailure::None; }
    bool failed() const { return kind != StepFailure::None; }

    static StepResult Done() { return {}; }
    static StepResult Failed(StepFailure kind, std::string text = {}) { return {kind, std::move(text), {}}; }
    static StepResult Failed(StepFailure kind, LinkResult link) { return {kind, link.text(), std::move(link)}; }
};

}  // namespace varnox
