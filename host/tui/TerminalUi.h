// The player's terminal UI: the playing track, the play list with the playing
// entry marked, key help, transport keys, the two menus, and the dialogs of
// plugins (drawn by the dialog toolkit's terminal front end).
//
// Lives on the player's window thread and owns the terminal while it exists.
// Keys arrive through the thread's message loop (stdin is watched there), so
// they keep arriving while a plugin's modal dialog runs its nested loop; they
// go to the dialog then. A timer redraws at least once a second, so changes
// made from the web app show up without a key press. The selection follows
// the playing entry from track to track while the user leaves it alone.
#pragma once

#include "host/HostWindow.h"
#include "platform/MessageLoop.h"
#include "platform/dialog/CursesFrontEnd.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace lyrebox {

class Player;

class TerminalUi {
public:
    // Menu commands of the host's own items that the terminal carries out.
    static constexpr platform::UINT kCmdExit = 40001;
    static constexpr platform::UINT kCmdAddFile = 40101;
    static constexpr platform::UINT kCmdRemoveSelected = 40102;
    static constexpr platform::UINT kCmdClearList = 40103;

    TerminalUi(host::HostWindow& window, Player& player);
    ~TerminalUi();
    TerminalUi(const TerminalUi&) = delete;
    TerminalUi& operator=(const TerminalUi&) = delete;

    // True when stdin and stdout are a terminal.
    static bool available();

    // The line about the plugin's service (where the web app is), shown
    // above the key help until the next one replaces it.
    void setServiceLine(std::string line);

private:
    struct Menu {
        int which = -1;   // HostWindow::kMainMenu or kPlaylistMenu; -1 closed
        std::vector<platform::MenuItem> items;
        int cursor = 0;
    };

    void onInput();
    void onKey(unsigned key, bool isKeyCode);
    void onMenuKey(unsigned key, bool isKeyCode);
    void onPromptKey(unsigned key, bool isKeyCode);
    void openMenu(int which);
    void choose(platform::UINT commandId);
    void addPath(const std::string& path);
    void redraw();
    void drawPlayer();
    void drawMenu();
    void drawPrompt();
    // Moves the selection to the playing entry when the track has changed,
    // unless the user moved the selection a moment ago.
    void followPlaying();
    void selectionMoved() { movedAt_ = std::chrono::steady_clock::now(); }

    host::HostWindow& window_;
    Player& player_;
    platform::CursesFrontEnd dialogs_;
    platform::MessageLoop::TimerId timer_ = 0;
    int savedStderr_ = -1;
    int selected_ = 0;
    int top_ = 0;
    Menu menu_;
    bool prompting_ = false;
    std::string prompt_;
    std::string status_;
    std::string serviceLine_;
    int followed_ = -1;   // the playing entry the selection last followed
    std::chrono::steady_clock::time_point movedAt_{};
    // Tags of the playing file, read once per track.
    std::string tagsFile_, title_, artist_;
};

}  // namespace lyrebox
