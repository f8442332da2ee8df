#pragma once
// What varnox-patch-cli must print for each way an update can end: the log
// lines on stdout and the message boxes on stderr, spelled out from the
// documents rather than taken from the product's own text constants.

#include <string>
#include <vector>

#include "comm/port_list.h"

namespace varnox::testing {

// Every faulted run impersonates the panel with the smallest image: 677
// EEPROM chunks, the shortest way into the bootloader phase.
inline const std::string kPanelName = "FWKAELVRXGAA0I_2x04";

inline const std::string kNoAnswer = "Errore Lettura da centrale : No Answer";
inline const std::string kBadData = "Errore Lettura da centrale : BAD DATA       ";
inline const std::string kBadChecksum = "Errore Lettura da centrale : BAD CKSUM";

inline const std::string kPortBox = "Impossibile accedere alla porta seriale";
// The box detail of a port path with no device behind it: it names the ports that do exist.
inline std::string NoSuchDevice(const std::string& path)
{
    return path + ": no such device; " + PortsHere(ListPorts());
}
inline const std::string kMicroKernelBox =
    "ATTENZIONE: errore di programmazione firmware; la versione non è stata aggiornata";
inline const std::string kFlashBox = "ATTENZIONE: errore irreversibile di programmazione firmware";

enum class Ending {
    IdentityRead,  // the identity read failed; its reason is the middle line
    EepromFailed,
    HandshakeFailed,
    MicroKernelFailed,
    FlashFailed,
    Completed,
};

inline std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The log of a run that ends as `ending`; `reason` is the identity read's failure text.
inline std::vector<std::string> ExpectedLog(Ending ending, const std::string& reason = kNoAnswer)
{
    if (ending == Ending::IdentityRead)
        return {"", reason, ""};
    const std::vector<std::string> opening = {"UPDATING PROCESS STARTED", kPanelName, "",
                                              "UPDATING EEPROM MEMORY",   "",         "PLEASE WAIT..."};
    if (ending == Ending::EepromFailed)
        return Concat(opening, {"", "Error Writing EEPROM memory", "programming END"});
    const auto loader = Concat(opening, {"DOWNLOADING microKernel", "PLEASE WAIT..."});
    if (ending == Ending::HandshakeFailed)
        return Concat(loader, {"", "ATTENZIONE: la centrale non entra in programmazione; firmware non aggiornato",
                               "WARNING: the panel did not enter its loader; the firmware was not updated"});
    if (ending == Ending::MicroKernelFailed)
        return loader;
    const auto flash = Concat(loader, {"ERASING FLASH...", "Writing Flash ", "PLEASE WAIT..."});
    if (ending == Ending::FlashFailed)
        return flash;
    return Concat(flash, {"", "FLASH AGGIORNATA.. RIAVVIO CENTRALE", "FLASH UPDATED... PANEL RESTART", "",
                          "ATTENDERE , PLEASE WAIT", "", "Aggiornamento Terminato", "programming END", "", "",
                          "CENTRALE VERIFICATA: " + kPanelName, "PANEL VERIFIED: " + kPanelName});
}

// The boxes an ending shows by itself (the port box comes from failed opens).
inline std::vector<std::string> EndingBoxes(Ending ending)
{
    if (ending == Ending::MicroKernelFailed)
        return {kMicroKernelBox};
    if (ending == Ending::FlashFailed)
        return {kFlashBox};
    return {};
}

// 0 completed and verified; 1 nothing written; 3 the panel was written to.
inline int ExitStatus(Ending ending)
{
    if (ending == Ending::Completed)
        return 0;
    return ending == Ending::IdentityRead ? 1 : 3;
}

}  // namespace varnox::testing
