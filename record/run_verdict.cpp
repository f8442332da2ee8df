#include "record/run_verdict.h"

namespace varnox {

RunVerdict VerdictOf(int exit_status)
{
    switch (exit_status) {
    case 0: return {VerdictColour::Green, "AGGIORNATA E VERIFICATA , UPDATED AND VERIFIED"};
    case 4: return {VerdictColour::Amber, "AGGIORNATA, NON VERIFICATA , UPDATED, NOT VERIFIED"};
    case 3:
        return {VerdictColour::Red, "CENTRALE MODIFICATA: RIPETERE L'AGGIORNAMENTO , PANEL CHANGED: UPDATE AGAIN"};
    default: return {VerdictColour::Grey, "CENTRALE NON MODIFICATA , PANEL UNCHANGED"};
    }
}

}  // namespace varnox
