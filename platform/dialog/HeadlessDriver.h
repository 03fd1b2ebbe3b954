// The headless front end: tests drive dialogs with it as a user would, from
// their own thread, while the dialogs run on a window thread.
//
// Every action and read is carried out on the dialog's owning thread (through
// a sent message), so it sees and causes exactly what a click or a key would.
// Answers for folder browsers and message boxes are queued beforehand; a
// browser without a queued answer is cancelled, a message box answers OK.
// Installs itself as the process's front end for its lifetime.
#pragma once

#include "platform/dialog/Dialog.h"
#include "platform/dialog/DialogFrontEnd.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class HeadlessDriver : public DialogFrontEnd {
public:
    struct MessageBoxRecord {
        std::string text;
        std::string caption;
        UINT type = 0;
        HWND owner = nullptr;
    };

    HeadlessDriver();
    ~HeadlessDriver() override;
    HeadlessDriver(const HeadlessDriver&) = delete;
    HeadlessDriver& operator=(const HeadlessDriver&) = delete;

    // Waits for a modal dialog of this template to be running (nullptr when
    // none appears within the limit: a failing test, not a hanging one).
    HWND waitForModal(int templateId, std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Waits until the dialog has closed; false when it is still open after the limit.
    bool waitForClosed(HWND dialog, std::chrono::milliseconds limit = std::chrono::seconds(30));
    bool isOpen(HWND dialog) const;
    // The open dialog of this template that was created last, or nullptr.
    HWND findDialog(int templateId) const;

    // Runs fn on the dialog's thread; false if the dialog no longer exists.
    bool onThread(HWND dialog, const std::function<void()>& fn);

    bool click(HWND dialog, int id);
    bool type(HWND dialog, int id, const std::string& text);
    void escape(HWND dialog);
    void close(HWND dialog);
    // Toggles a list-box item the way a click with Ctrl does.
    bool selectListItem(HWND dialog, int id, int index, bool selected);
    bool selectListViewItem(HWND dialog, int id, int index);

    std::string text(HWND dialog, int id);
    bool checked(HWND dialog, int id);
    bool enabled(HWND dialog, int id);
    bool dialogVisible(HWND dialog);
    std::vector<std::string> listItems(HWND dialog, int id);
    std::vector<std::string> listViewItems(HWND dialog, int id);
    int listViewSelection(HWND dialog, int id);

    void queueFolder(std::optional<std::string> answer);
    // While refused, no dialog can be created (as on a system without them).
    void refuseDialogs(bool refuse);
    std::vector<MessageBoxRecord> messageBoxes() const;

    // DialogFrontEnd
    bool canShowDialogs() const override;
    void dialogCreated(HWND dialog) override;
    void dialogDestroyed(HWND dialog) override;
    void modalStarted(HWND dialog) override;
    void modalEnded(HWND dialog) override;
    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
    std::optional<std::string> browseForFolder(HWND owner, const std::string& title) override;

private:
    struct Open {
        HWND hwnd;
        int templateId;
        bool modal;
    };
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Open> open_;
    std::deque<std::optional<std::string>> folders_;
    std::vector<MessageBoxRecord> messageBoxes_;
    bool refuse_ = false;
};

}  // namespace platform
