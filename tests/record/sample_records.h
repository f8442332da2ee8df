#pragma once
// Records the tests of the run record share: a whole run (also with its
// phases, as this version records them) and one that ended at the identity read.

#include <chrono>

#include "record/run_record.h"

namespace varnox::test {

inline std::chrono::system_clock::time_point Utc(int y, unsigned mo, unsigned d, int h, int mi, int s)
{
    using namespace std::chrono;
    return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

inline RunRecord CompletedRun()
{
    RunRecord run;
    run.Start = Utc(2025, 3, 14, 9, 26, 53);
    run.End = Utc(2025, 3, 14, 9, 33, 1);
    run.Program = "varnox-patch-cli";
    run.Version = "2.04";
    run.Port = "COM1";
    run.Adapter = "/dev/ttyUSB0 0403:6001 FT232R A50285BI";
    run.IdentityBefore = IdentityBytes{0x00, 0x00, 0x00, 0x1F, 0x03, 0x02};
    run.FirmwareBefore = "FWKA1AVRXGAA0I_2x04";
    run.Image = RecordedImage{"FWKA1AVRXGAA0I_2x04",
                              "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08", true};
    run.Failed = {2, 0, 1, 3};
    run.Reopens = 1;
    run.Ending = run_ending::kCompleted;
    run.Verification = run_verification::kVerified;
    run.IdentityAfter = IdentityBytes{0x00, 0x00, 0x00, 0x20, 0x03, 0x02};
    run.ExitStatus = 0;
    run.Phases = {
        {"identity", 0.012, 0.3, {}, {}, {}},
        {"eeprom",
         0.3,
         352.5,
         {12.25, 20.001},
         {30.125},
         {{"no-answer", 1, "chunk at 16384, attempt 1 of 6: Errore Lettura da centrale : No Answer"},
          {"gone", 1, "chunk at 16404, attempt 1 of 6: /dev/ttyUSB0: Input/output error"}}},
        {"flash",
         361.2,
         368.0,
         {362.5, 363.0, 363.5},
         {},
         {{"parity", 3, "flash packet 0x24000, attempt 3 of 4"}}},
    };
    return run;
}

// The whole run with its phases: a line lost twice in the EEPROM phase, the
// adapter unplugged and back, checksums refused in the flash.
inline RunRecord CompletedRunWithPhases()
{
    RunRecord run = CompletedRun();
    run.Technician = "Giulia Bianchi";
    run.Phases = {
        {"identity", 0.0, 1.2, {}, {}, {}},
        {"eeprom",
         1.2,
         95.0,
         {20.5, 21.7, 33.0},
         {40.0},
         {{"no-answer", 2, "no answer within 2000 ms"}, {"gone", 1, "read: No such device"}}},
        {"handshake", 95.0, 97.5, {}, {}, {}},
        {"microkernel", 97.5, 120.0, {105.2}, {}, {{"no-answer", 1, ""}}},
        {"flash", 120.0, 358.0, {200.1, 201.3, 202.6}, {}, {{"bad-checksum", 3, "checksum 5A, expected A5"}}},
        {"verification", 358.0, 367.5, {}, {}, {}},
    };
    return run;
}

inline RunRecord IdentityReadFailedRun()
{
    RunRecord run;
    run.Start = Utc(2025, 3, 15, 23, 59, 58);
    run.End = Utc(2025, 3, 16, 0, 0, 4);
    run.Program = "varnox-patch";
    run.Version = "2.04";
    run.Port = "/dev/ttyS0";
    run.Ending = run_ending::kIdentityReadFailed;
    run.ExitStatus = 1;
    return run;
}

}  // namespace varnox::test
