#include "ui/win32/window_menu_bar.h"

#include <cstring>

#include "ui/win32/wide_text.h"

namespace varnox {

int MenuItemId(MenuCommand command)
{
    for (std::size_t i = 0; i < kWindowMenus.size(); ++i)
        if (kWindowMenus[i].Command == command)
            return kMenuItemBase + static_cast<int>(i);
    return 0;
}

std::optional<MenuCommand> MenuCommandOf(int id)
{
    const int index = id - kMenuItemBase;
    if (index < 0 || index >= static_cast<int>(kWindowMenus.size()))
        return std::nullopt;
    return kWindowMenus[static_cast<std::size_t>(index)].Command;
}

void AppendWindowMenus(HMENU bar)
{
    HMENU popup = nullptr;
    const char* title = nullptr;
    for (std::size_t i = 0; i < kWindowMenus.size(); ++i) {
        const MenuEntry& entry = kWindowMenus[i];
        // The table lists each menu's items together, in display order.
        if (title == nullptr || std::strcmp(title, entry.Menu) != 0) {
            title = entry.Menu;
            popup = CreatePopupMenu();
            AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), Widen(title).c_str());
        }
        AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(kMenuItemBase + static_cast<int>(i)),
                    Widen(entry.Caption).c_str());
    }
}

void ShowMenuStates(HMENU bar, const std::function<MenuItemState(MenuCommand)>& state)
{
    for (const MenuEntry& entry : kWindowMenus) {
        const MenuItemState item = state(entry.Command);
        const UINT id = static_cast<UINT>(MenuItemId(entry.Command));
        // WRITE TRACE... is no option of its own but shows its check while a trace is set.
        CheckMenuItem(bar, id, MF_BYCOMMAND | (item.Checked ? MF_CHECKED : MF_UNCHECKED));
        EnableMenuItem(bar, id, MF_BYCOMMAND | (item.Enabled ? MF_ENABLED : MF_GRAYED));
    }
}

}  // namespace varnox
