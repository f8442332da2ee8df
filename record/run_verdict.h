#pragma once
// How a run ended, at a glance: the band the windows show where the gauge was
// and the line above the report, one text and colour per exit status.

namespace varnox {

enum class VerdictColour { Green, Amber, Red, Grey };

struct RunVerdict {
    VerdictColour Colour;
    const char* Text;
};

// 0 verified, 4 not verified, 3 panel changed, anything else (1, a stop) unchanged.
RunVerdict VerdictOf(int exit_status);

}  // namespace varnox
