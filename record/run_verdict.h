#pragma once
// How a run ended, at a glance: the band the windows show where the gauge was
// and the line above the report, one text and colour per ending.

#include "record/run_record.h"

namespace varnox {

enum class VerdictColour { Green, Amber, Red, Grey };

struct RunVerdict {
    VerdictColour Colour;
    const char* Text;
};

// 0 verified, 4 not verified, 3 panel changed, 1 unchanged. A stopped run
// (130, 143) changed the panel when it had started writing to it.
RunVerdict VerdictOf(int exit_status, bool panel_written);

// Whether the run wrote to the panel: it reached the EEPROM phase. A line of
// an older version keeps no phases; there a run that chose an image may have
// written, and is taken as having done so, since "unchanged" on a changed
// panel is the one wrong answer that leaves a fire alarm unusable.
bool PanelWritten(const RunRecord& record);

RunVerdict VerdictOf(const RunRecord& record);

}  // namespace varnox
