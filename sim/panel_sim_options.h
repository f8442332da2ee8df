#pragma once
// The command line of varnox-panel-sim.

#include <string>
#include <vector>

#include "sim/panel_config.h"

namespace varnox {

struct PanelSimOptions {
    PanelConfig Panel;
    // --as: a firmware name whose image's identity block the panel takes on;
    // the program resolves it against the carried images.
    std::string ImpersonateName;
    std::string DumpEeprom;
    std::string DumpFlash;
    std::string VerifyName;
    std::string TranscriptPath;
    // --link: a symbolic link kept pointing at the current pseudo-terminal.
    std::string LinkPath;
    bool ExitAfterRestart = false;
    bool Help = false;
    bool Version = false;
};

// Parses the arguments after the program name. False with the reason in
// `error` on anything it does not understand.
bool ParsePanelSimOptions(const std::vector<std::string>& args, PanelSimOptions& options, std::string& error);

// Six bytes in hex, "00000B200000" or with ':', '-' or ' ' between the bytes.
bool ParseIdentityHex(const std::string& text, IdentityBytes& identity);

// The text of --help.
std::string PanelSimUsage();

}  // namespace varnox
