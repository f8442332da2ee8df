#pragma once
// The fixed texts an update writes to the log and shows in its boxes, exactly
// as the technician knows them (Italian and English lines kept apart).

namespace varnox {

// Early endings of the sequence.
inline constexpr const char* kReleaseRejectedItalian =
    "ERRORE : La versione della centrale è successiva al presente aggiornamento";
inline constexpr const char* kReleaseRejectedEnglish = "ERROR : Panel release earlier than this patch";
inline constexpr const char* kNoFirmwareEnglish = "ERROR : Firmware Version NOT Available";
inline constexpr const char* kNoFirmwareItalian = "ERRORe : Versione NON Disponibile";

// The stand-in guard's refusal.
inline constexpr const char* kStandInItalian = "FIRMWARE DI PROVA: non adatto a una centrale reale";
inline constexpr const char* kStandInEnglish = "STAND-IN FIRMWARE: not for a real panel";

// Opening lines of an update and the EEPROM phase's report.
inline constexpr const char* kUpdateStarted = "UPDATING PROCESS STARTED";
inline constexpr const char* kUpdatingEeprom = "UPDATING EEPROM MEMORY";
inline constexpr const char* kPleaseWait = "PLEASE WAIT...";
inline constexpr const char* kEepromError = "Error Writing EEPROM memory";
inline constexpr const char* kProgrammingEnd = "programming END";

// The EEPROM read-back (--fast, --verify-eeprom): its opening line, how many
// chunks it wrote again (followed by the number), its success, and the line
// before the EEPROM-failure lines when a difference stays (followed by the
// first differing EEPROM address, in decimal as the Address field shows it).
inline constexpr const char* kVerifyingEeprom = "VERIFYING EEPROM MEMORY";
inline constexpr const char* kEepromRewritten = "EEPROM chunks written again: ";
inline constexpr const char* kEepromVerified = "EEPROM VERIFIED";
inline constexpr const char* kEepromDiffers = "Error Verifying EEPROM memory at address ";

// Bootloader and flash phase.
inline constexpr const char* kDownloadingMicroKernel = "DOWNLOADING microKernel";
inline constexpr const char* kErasingFlash = "ERASING FLASH...";
inline constexpr const char* kWritingFlash = "Writing Flash ";
inline constexpr const char* kFlashUpdatedItalian = "FLASH AGGIORNATA.. RIAVVIO CENTRALE";
inline constexpr const char* kFlashUpdatedEnglish = "FLASH UPDATED... PANEL RESTART";
inline constexpr const char* kRestartWait = "ATTENDERE , PLEASE WAIT";
inline constexpr const char* kUpdateFinished = "Aggiornamento Terminato";
inline constexpr const char* kHandshakeFailedItalian =
    "ATTENZIONE: la centrale non entra in programmazione; firmware non aggiornato";
inline constexpr const char* kHandshakeFailedEnglish =
    "WARNING: the panel did not enter its loader; the firmware was not updated";

// The identity read after the restart (the verified lines end in the firmware name).
inline constexpr const char* kVerifiedItalian = "CENTRALE VERIFICATA: ";
inline constexpr const char* kVerifiedEnglish = "PANEL VERIFIED: ";
inline constexpr const char* kNoAnswerAfterRestartItalian = "ATTENZIONE: la centrale non risponde dopo il riavvio";
inline constexpr const char* kNoAnswerAfterRestartEnglish = "WARNING: the panel does not answer after its restart";
inline constexpr const char* kOtherFirmwareItalian = "ATTENZIONE: la centrale riporta un altro firmware";
inline constexpr const char* kOtherFirmwareEnglish = "WARNING: the panel reports other firmware";

// The adapter dropped out mid-update and is back; the update goes on.
inline constexpr const char* kPortReconnected = "PORTA SERIALE RICOLLEGATA , SERIAL PORT RECONNECTED";

// Plain boxes of failed bootloader packets.
inline constexpr const char* kMicroKernelFailedBox =
    "ATTENZIONE: errore di programmazione firmware; la versione non è stata aggiornata";
inline constexpr const char* kFlashFailedBox = "ATTENZIONE: errore irreversibile di programmazione firmware";

}  // namespace varnox
