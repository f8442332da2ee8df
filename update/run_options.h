#pragma once
// How a run is to be done, as the console tool and both windows take it from
// their command lines. One table of options serves every program, so each
// option is parsed and described once.

#include <cstddef>
#include <string>
#include <vector>

namespace varnox {

struct RunOptions {
    // Write stand-in images into a panel (the demo and the tests): --allow-stand-in,
    // or VARNOX_ALLOW_STAND_IN=1 in the environment.
    bool AllowStandIn = false;
    // Where the run record goes: --record FILE instead of the per-user file,
    // --no-record for none.
    std::string RecordFile;
    bool NoRecord = false;
    // Go on as soon as each service-protocol reply is in (--fast); reads the EEPROM back too.
    bool Fast = false;
    // Read the written EEPROM back after the download (--verify-eeprom).
    bool VerifyEeprom = false;
    // Where the port's trace goes (--trace FILE): every byte with its time,
    // and the port's events; empty for none.
    std::string TraceFile;

    bool ReadsEepromBack() const { return Fast || VerifyEeprom; }
};

enum class OptionTake {
    Taken,    // args[index] was a run option; index now points past it and its value
    NotMine,  // not a run option; index unchanged
    Refused,  // a run option used wrongly; error says why
};

// Takes the run option at args[index], with its value when it has one.
OptionTake TakeRunOption(const std::vector<std::string>& args, std::size_t& index, RunOptions& options,
                         std::string& error);

// The run options' lines for a program's --help, each ending in "\n".
std::string RunOptionsHelp();

// What the environment adds: VARNOX_ALLOW_STAND_IN=1.
void ApplyRunEnvironment(RunOptions& options);

}  // namespace varnox
