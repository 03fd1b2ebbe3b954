// The player's main window: the handle plugins receive, the two menus it
// hands out through WM_USER 281, and the dispatch of every other message to
// the player (set as a delegate).
//
// Created and used on the player's window thread; other threads reach it only
// through platform::sendMessage.
#pragma once

#include "platform/Menu.h"
#include "platform/Types.h"

#include <functional>
#include <vector>

namespace lyrebox::host {

class HostWindow {
public:
    // Answers a message the window itself does not handle; returns false to
    // leave it unhandled (result 0).
    using Delegate = std::function<bool(platform::UINT, platform::WPARAM, platform::LPARAM, platform::LRESULT&)>;

    static constexpr int kMainMenu = 0;
    static constexpr int kPlaylistMenu = 3;

    HostWindow();
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    platform::HWND handle() const { return window_; }
    platform::HMENU menu(int which) const;
    void setDelegate(Delegate delegate) { delegate_ = std::move(delegate); }

    // Prepares a menu for showing: sends WM_INITMENUPOPUP through the window's
    // current procedure (so plugins can add their items), then returns its items.
    std::vector<platform::MenuItem> openMenu(int which);
    // Sends the WM_COMMAND of a chosen menu item.
    void chooseCommand(platform::UINT commandId);

    // WM_COMMAND ids that reached the window's own procedure (the host's menu items).
    const std::vector<platform::UINT>& receivedCommands() const { return receivedCommands_; }

private:
    static platform::LRESULT windowProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                        platform::LPARAM lParam);
    platform::LRESULT handle(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);
    void fillMenu(int which);

    platform::HWND window_ = nullptr;
    platform::HMENU mainMenu_ = nullptr;
    platform::HMENU playlistMenu_ = nullptr;
    Delegate delegate_;
    std::vector<platform::UINT> receivedCommands_;
};

}  // namespace lyrebox::host
