#pragma once
// The window's own texts: caption, captions of its controls and the
// instructions written to the log at start-up.

#include <array>

namespace varnox {

inline constexpr const char* kFormCaption = "Varnox PATCH 2.04 h ";
inline constexpr const char* kPortMenuTitle = "SERIAL PORT SELECTION";
inline constexpr const char* kStoredButtonCaption = "Aggiornamento Firmware ";
inline constexpr const char* kButtonCaption = "CONTINUE";
inline constexpr const char* kLanguageLabel = "CHANGE PANEL LANGUAGE TO";
inline constexpr const char* kInfoBoxTitle = "INFO BOX";
inline constexpr const char* kPanelTypeLabel = "ACTUAL PANEL TYPE";
inline constexpr const char* kEepromAddressLabel = "EEPROM PROGRAMMING ADDRESS";
inline constexpr const char* kFlashAddressLabel = " FLASH PROGRAMMING ADDRESS";
inline constexpr const char* kErrorsLabel = "ERRORs";

// Written after the log's initial empty line, one log line each.
inline constexpr std::array<const char*, 7> kStartupInstructions = {
    "Connettere La centrale alla porta seriale ed inserire il ponticello programmazione da PC sulla "
    "centrale",
    "",
    "Connect Panel to serial port and insert PC programming Jumper on panel",
    "",
    "ATTENZIONE ! : I dati di programmazione verranno cancellati e la centrale sarà riportata ai "
    "dati di fabbrica",
    "",
    "WARNING!: Panel configuration will be deleted and panel will be dafulted to factory settings",
};

// Shown when the window is asked to close while an update is under way.
inline constexpr const char* kCloseRefusedText =
    "Aggiornamento in corso: interromperlo può lasciare la centrale inutilizzabile. "
    "Attendere la fine dell'aggiornamento.\n\n"
    "An update is in progress: interrupting it can leave the panel unusable. "
    "Please wait until the update has ended.";

// Shown when an update stopped on an unexpected internal error.
inline constexpr const char* kRunFailedText =
    "Errore interno: l'aggiornamento si è interrotto.\n\n"
    "Internal error: the update stopped.";

}  // namespace varnox
