// The toolkit's own record of every dialog and control (internal to
// platform/dialog). Records are created and changed only on the thread that
// owns the dialog; the registry that maps handles to records is locked, so
// handles can be checked from any thread.
#pragma once

#include "platform/Types.h"
#include "platform/dialog/Dialog.h"
#include "platform/dialog/DialogTemplate.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::dialog {

struct ListViewItem {
    std::string text;
    int image = -1;
    LPARAM data = 0;
    bool selected = false;
};

struct ControlState {
    HWND hwnd = nullptr;
    HWND dialog = nullptr;
    ControlTemplate tmpl;
    std::string text;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    // List box.
    std::vector<std::string> items;
    std::vector<bool> itemSelected;
    // List view.
    std::vector<ListViewItem> lvItems;
    std::vector<int> icons;
    // Front-end view state: the cursor item of a list, the caret of an edit
    // and the first visible line of a list or multi-line edit.
    int cursor = 0;
    std::size_t caret = 0;
    int top = 0;
};

struct DialogState {
    HWND hwnd = nullptr;
    HWND parent = nullptr;   // a dialog, a control of one, or nullptr
    DialogTemplate tmpl;
    WindowProc proc = nullptr;
    DuRect placement;        // in the parent's client area
    bool visible = false;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    std::vector<std::unique_ptr<ControlState>> controls;
};

DialogState* findDialog(HWND window);
ControlState* findControl(HWND window);
ControlState* findControl(HWND dialog, int id);
// Dialogs whose parent is this dialog or one of its controls, in creation order.
std::vector<DialogState*> childDialogs(HWND dialog);
// Tells the front end that what the dialog (or the dialog of a control) shows changed.
void notifyChanged(HWND window);

}  // namespace platform::dialog

namespace platform::dialog {

// A toolkit-private message: lParam points to a std::function<void()> that the
// dialog's (or control's) window procedure runs on the owning thread. The
// headless driver reaches a dialog's thread with it.
inline constexpr UINT kRunClosure = 0x7FF0;

}  // namespace platform::dialog
