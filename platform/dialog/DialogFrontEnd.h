// The interface between the dialog toolkit and what shows dialogs to a user:
// the terminal front end, or the headless driver of the tests.
//
// One front end is installed per process. The toolkit calls it on the thread
// that owns the dialog concerned; the calls for message boxes and the folder
// browser are modal and return the user's answer.
#pragma once

#include "platform/Types.h"

#include <optional>
#include <string>

namespace platform {

class DialogFrontEnd {
public:
    virtual ~DialogFrontEnd() = default;

    // False refuses every new dialog (creation fails as when no front end is installed).
    virtual bool canShowDialogs() const { return true; }
    virtual void dialogCreated(HWND /*dialog*/) {}
    virtual void dialogDestroyed(HWND /*dialog*/) {}
    virtual void modalStarted(HWND /*dialog*/) {}
    virtual void modalEnded(HWND /*dialog*/) {}
    // Something visible in the dialog changed (text, state, visibility, items).
    virtual void changed(HWND /*dialog*/) {}

    virtual int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
    virtual std::optional<std::string> browseForFolder(HWND owner, const std::string& title) = 0;
};

// Installs (or with nullptr removes) the process's front end. Without one,
// dialogs cannot be created, message boxes answer OK at once and the folder
// browser is cancelled.
void setDialogFrontEnd(DialogFrontEnd* frontEnd);
DialogFrontEnd* dialogFrontEnd();

}  // namespace platform
