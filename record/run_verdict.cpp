#include "record/run_verdict.h"

#include <algorithm>

namespace varnox {

namespace {

constexpr RunVerdict kVerified{VerdictColour::Green, "AGGIORNATA E VERIFICATA , UPDATED AND VERIFIED"};
constexpr RunVerdict kNotVerified{VerdictColour::Amber, "AGGIORNATA, NON VERIFICATA , UPDATED, NOT VERIFIED"};
constexpr RunVerdict kChanged{VerdictColour::Red,
                              "CENTRALE MODIFICATA: RIPETERE L'AGGIORNAMENTO , PANEL CHANGED: UPDATE AGAIN"};
constexpr RunVerdict kUnchanged{VerdictColour::Grey, "CENTRALE NON MODIFICATA , PANEL UNCHANGED"};

}  // namespace

RunVerdict VerdictOf(int exit_status, bool panel_written)
{
    switch (exit_status) {
    case 0: return kVerified;
    case 4: return kNotVerified;
    case 3: return kChanged;
    case 1: return kUnchanged;
    default:  // stopped (130, 143)
        return panel_written ? kChanged : kUnchanged;
    }
}

bool PanelWritten(const RunRecord& record)
{
    if (record.Phases.empty())
        return record.Image.has_value();
    return std::any_of(record.Phases.begin(), record.Phases.end(),
                       [](const PhaseRecord& phase) { return phase.Name == "eeprom"; });
}

RunVerdict VerdictOf(const RunRecord& record)
{
    return VerdictOf(record.ExitStatus, PanelWritten(record));
}

}  // namespace varnox
