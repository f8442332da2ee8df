#include "ui/core/window_menus.h"

namespace varnox {

const std::array<MenuEntry, 9> kWindowMenus = {{
    {"OPTIONS", MenuCommand::FastUpdate, "FAST UPDATE", true},
    {"OPTIONS", MenuCommand::VerifyEeprom, "VERIFY EEPROM", true},
    {"OPTIONS", MenuCommand::KeepRecord, "KEEP RUN RECORD", true},
    {"OPTIONS", MenuCommand::WriteTrace, "WRITE TRACE...", true},
    {"OPTIONS", MenuCommand::Technician, "TECHNICIAN...", false},
    {"PANEL", MenuCommand::IdentifyPanel, "IDENTIFY PANEL", false},
    {"PANEL", MenuCommand::RunHistory, "RUN HISTORY...", false},
    {"PANEL", MenuCommand::SaveReport, "SAVE REPORT...", false},
    {"HELP", MenuCommand::About, "ABOUT", false},
}};

const char* CaptionOf(MenuCommand command)
{
    for (const MenuEntry& entry : kWindowMenus) {
        if (entry.Command == command)
            return entry.Caption;
    }
    return "";
}

}  // namespace varnox
