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

// Plain boxes of failed bootloader packets.
inline constexpr const char* kMicroKernelFailedBox =
    "ATTENZIONE: errore di programmazione firmware; la versione non è stata aggiornata";
inline constexpr const char* kFlashFailedBox = "ATTENZIONE: errore irreversibile di programmazione firmware";

}  // namespace varnox
