#include "host/HostWindow.h"

#include "platform/player/PlayerIpc.h"
#include "platform/Window.h"

namespace lyrebox::host {

namespace {

struct MenuEntry {
    platform::UINT id;
    const char* text;
};

// The host's own items; plugins add theirs while a menu opens.
constexpr MenuEntry kMainItems[] = {
    {40045, "Play"}, {40046, "Pause"}, {40047, "Stop"}, {40044, "Previous"}, {40048, "Next"},
    {40022, "Repeat"}, {40023, "Shuffle"}, {40001, "Exit"},
};
constexpr MenuEntry kPlaylistItems[] = {
    {40101, "Add file or folder..."}, {40102, "Remove selected"}, {40103, "Clear play list"},
};

}  // namespace

HostWindow::HostWindow()
    : window_(platform::createWindow(&HostWindow::windowProc, this)),
      mainMenu_(platform::createMenu()),
      playlistMenu_(platform::createMenu()) {
    fillMenu(kMainMenu);
    fillMenu(kPlaylistMenu);
}

HostWindow::~HostWindow() {
    platform::destroyWindow(window_);
    platform::destroyMenu(mainMenu_);
    platform::destroyMenu(playlistMenu_);
}

platform::HMENU HostWindow::menu(int which) const {
    if (which == kMainMenu) return mainMenu_;
    if (which == kPlaylistMenu) return playlistMenu_;
    return nullptr;
}

void HostWindow::fillMenu(int which) {
    platform::HMENU m = menu(which);
    if (which == kMainMenu)
        for (const auto& e : kMainItems) platform::insertMenuItem(m, 1 << 20, e.id, e.text);
    else
        for (const auto& e : kPlaylistItems) platform::insertMenuItem(m, 1 << 20, e.id, e.text);
}

std::vector<platform::MenuItem> HostWindow::openMenu(int which) {
    platform::HMENU m = menu(which);
    if (!m) return {};
    platform::sendMessage(window_, platform::WM_INITMENUPOPUP, reinterpret_cast<platform::WPARAM>(m), 0);
    return platform::menuItems(m);
}

void HostWindow::chooseCommand(platform::UINT commandId) {
    platform::sendMessage(window_, platform::WM_COMMAND, commandId, 0);
}

platform::LRESULT HostWindow::windowProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                         platform::LPARAM lParam) {
    auto* self = static_cast<HostWindow*>(platform::windowUserData(window));
    return self ? self->handle(message, wParam, lParam) : 0;
}

platform::LRESULT HostWindow::handle(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) {
    if (message == platform::WM_USER && lParam == ipc::kGetMenu)
        return reinterpret_cast<platform::LRESULT>(menu(static_cast<int>(wParam)));
    if (message == platform::WM_INITMENUPOPUP) return 0;  // the host's items are filled once, at creation
    if (message == platform::WM_COMMAND) receivedCommands_.push_back(static_cast<platform::UINT>(wParam));
    platform::LRESULT result = 0;
    if (delegate_ && delegate_(message, wParam, lParam, result)) return result;
    return 0;
}

}  // namespace lyrebox::host
