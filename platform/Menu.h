// Menus: an ordered list of items (command id, text) behind a handle.
#pragma once

#include "platform/Types.h"

#include <string>
#include <vector>

namespace platform {

struct MenuItem {
    UINT commandId = 0;
    std::string text;
};

HMENU createMenu();
void destroyMenu(HMENU menu);

// Inserts before the item at position (appends when position is past the end).
bool insertMenuItem(HMENU menu, int position, UINT commandId, const std::string& text);
// Deletes the first item with this command id; false when there was none.
bool deleteMenuItemByCommand(HMENU menu, UINT commandId);
std::vector<MenuItem> menuItems(HMENU menu);

}  // namespace platform
