#pragma once
// How a step of the update ended: a kind, and the text behind it where there
// is one (a failed request's text, as the log shows it).

#include <string>

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

    bool ok() const { return kind == StepFailure::None; }
    bool failed() const { return kind != StepFailure::None; }

    static StepResult Done() { return {}; }
    static StepResult Failed(StepFailure kind, std::string text = {}) { return {kind, std::move(text)}; }
};

}  // namespace varnox
