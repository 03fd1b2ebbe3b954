// The terminal front end: draws dialogs from their templates with ncurses,
// scaled to the terminal's cells, and turns keys into what a user does to
// controls: Tab / Shift-Tab / arrows move the focus, typing edits, Space and
// Enter press buttons, Esc sends IDCANCEL.
//
// It does not own the terminal. Whoever initialised ncurses (the player's
// terminal UI) reads the keys on the window thread, hands them to handleKey
// while active() is true, and calls draw() after drawing its own screen and
// whenever takeDirty() says something changed. Everything runs on that thread;
// the folder browser and the message box run nested message loops, so keys
// keep arriving through the owner's input handler while they are open.
#pragma once

#include "platform/dialog/DialogFrontEnd.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class CursesFrontEnd : public DialogFrontEnd {
public:
    // redraw asks the owner to draw its screen and then call draw().
    explicit CursesFrontEnd(std::function<void()> redraw);
    ~CursesFrontEnd() override;
    CursesFrontEnd(const CursesFrontEnd&) = delete;
    CursesFrontEnd& operator=(const CursesFrontEnd&) = delete;

    bool active() const { return !layers_.empty(); }
    // key is a character, or a KEY_* code when isKeyCode. True when consumed.
    bool handleKey(unsigned key, bool isKeyCode);
    // Alt+letter (Esc and the letter at once): a dialog's button by its first
    // letter; in the folder browser o is OK and c Cancel.
    bool handleAltKey(unsigned letter);
    // Draws the open dialogs and boxes over the screen (no refresh()).
    void draw();
    bool takeDirty();

    void dialogCreated(HWND dialog) override;
    void dialogDestroyed(HWND dialog) override;
    void modalStarted(HWND dialog) override;
    void modalEnded(HWND dialog) override;
    void changed(HWND dialog) override;
    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
    std::optional<std::string> browseForFolder(HWND owner, const std::string& title) override;

    struct Layer;   // a modal dialog, a folder browser or a message box

private:
    void requestRedraw();
    std::unique_ptr<Layer> runLayer(Layer& layer);

    std::function<void()> redraw_;
    std::vector<std::unique_ptr<Layer>> layers_;
    bool dirty_ = false;
};

}  // namespace platform
