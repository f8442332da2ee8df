#pragma once
// The menus after the port menu, made from the core's one table
// (kWindowMenus): a popup per menu title, its items' ids, their check marks
// and greying as the core's item states say.

#include <windows.h>

#include <functional>
#include <optional>

#include "ui/core/window_menus.h"

namespace varnox {

// Item n of kWindowMenus has id kMenuItemBase + n, above the port menu's.
inline constexpr int kMenuItemBase = 1000;

int MenuItemId(MenuCommand command);
// The command of a menu item's id; std::nullopt for any other id.
std::optional<MenuCommand> MenuCommandOf(int id);

// Appends "OPTIONS", "PANEL" and "HELP" with their items to `bar`.
void AppendWindowMenus(HMENU bar);

// Every item checked and enabled as `state` says.
void ShowMenuStates(HMENU bar, const std::function<MenuItemState(MenuCommand)>& state);

}  // namespace varnox
