#pragma once
// The menus after "SERIAL PORT SELECTION", one table for both windows: what
// each item is, in which menu, with which caption, and whether it carries a
// check mark. What an item does and when it is refused is the core's
// (MainWindowCore::OnMenuCommand, ItemState).

#include <array>

namespace varnox {

enum class MenuCommand {
    FastUpdate,
    VerifyEeprom,
    KeepRecord,
    WriteTrace,
    Technician,
    IdentifyPanel,
    RunHistory,
    SaveReport,
    About
};

struct MenuEntry {
    const char* Menu;
    MenuCommand Command;
    const char* Caption;
    bool Checkable;
};

// In display order: OPTIONS (5 items), PANEL (3), HELP (1).
extern const std::array<MenuEntry, 9> kWindowMenus;

// The caption of `command`'s entry.
const char* CaptionOf(MenuCommand command);

struct MenuItemState {
    bool Checked = false;
    bool Enabled = true;
};

}  // namespace varnox
