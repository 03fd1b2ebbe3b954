#include "platform/Menu.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform {

struct MenuObject {
    std::vector<MenuItem> items;
};

namespace {

// Menus are shared between the host and plugins on the window thread, but a
// handle may be asked for from any thread; one lock keeps the registry sane.
struct MenuRegistry {
    std::mutex mutex;
    std::unordered_map<HMENU, std::unique_ptr<MenuObject>> menus;
};

MenuRegistry& menus() {
    static MenuRegistry r;
    return r;
}

MenuObject* find(HMENU menu) {
    auto it = menus().menus.find(menu);
    return it == menus().menus.end() ? nullptr : it->second.get();
}

}  // namespace

HMENU createMenu() {
    auto menu = std::make_unique<MenuObject>();
    HMENU handle = menu.get();
    std::lock_guard lock(menus().mutex);
    menus().menus.emplace(handle, std::move(menu));
    return handle;
}

void destroyMenu(HMENU menu) {
    std::lock_guard lock(menus().mutex);
    menus().menus.erase(menu);
}

bool insertMenuItem(HMENU menu, int position, UINT commandId, const std::string& text) {
    std::lock_guard lock(menus().mutex);
    MenuObject* m = find(menu);
    if (!m || position < 0) return false;
    auto at = static_cast<std::size_t>(position) >= m->items.size() ? m->items.end() : m->items.begin() + position;
    m->items.insert(at, MenuItem{commandId, text});
    return true;
}

bool deleteMenuItemByCommand(HMENU menu, UINT commandId) {
    std::lock_guard lock(menus().mutex);
    MenuObject* m = find(menu);
    if (!m) return false;
    auto it = std::find_if(m->items.begin(), m->items.end(), [&](const MenuItem& i) { return i.commandId == commandId; });
    if (it == m->items.end()) return false;
    m->items.erase(it);
    return true;
}

std::vector<MenuItem> menuItems(HMENU menu) {
    std::lock_guard lock(menus().mutex);
    MenuObject* m = find(menu);
    return m ? m->items : std::vector<MenuItem>{};
}

}  // namespace platform
