#pragma once
// The logs the tests expect of whole runs, in one place for the in-process,
// console and end-to-end tests.

#include <string>
#include <vector>

namespace varnox::testing {

// The log of a completed update of the panel named `name`.
inline std::vector<std::string> CompletedLog(const std::string& name)
{
    return {"UPDATING PROCESS STARTED",
            name,
            "",
            "UPDATING EEPROM MEMORY",
            "",
            "PLEASE WAIT...",
            "DOWNLOADING microKernel",
            "PLEASE WAIT...",
            "ERASING FLASH...",
            "Writing Flash ",
            "PLEASE WAIT...",
            "",
            "FLASH AGGIORNATA.. RIAVVIO CENTRALE",
            "FLASH UPDATED... PANEL RESTART",
            "",
            "ATTENDERE , PLEASE WAIT",
            "",
            "Aggiornamento Terminato",
            "programming END",
            "",
            "",
            "CENTRALE VERIFICATA: " + name,
            "PANEL VERIFIED: " + name};
}

// `log` with the EEPROM read-back's `lines` after the EEPROM phase's opening
// (its first six lines).
inline std::vector<std::string> WithReadBack(std::vector<std::string> log, const std::vector<std::string>& lines)
{
    log.insert(log.begin() + 6, lines.begin(), lines.end());
    return log;
}

}  // namespace varnox::testing
