// Base of the configuration dialog and its pages: one object per dialog
// window, reached from the window through the procedure all dialogs share.
//
// Window thread only. The object must outlive its window; the window tells
// the object when it goes (WM_DESTROY), so a destroyed page is never touched.
#pragma once

#include "platform/Types.h"
#include "platform/dialog/Dialog.h"
#include "platform/dialog/DialogTemplate.h"

namespace lyrebox {

class Dialog {
public:
    Dialog(platform::HINSTANCE instance, platform::HWND parent, const platform::DialogTemplate& dialogTemplate);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    platform::HWND window() const { return window_; }
    platform::HWND parent() const { return parent_; }
    platform::HINSTANCE instance() const { return instance_; }
    int templateId() const { return template_.id; }

    // Runs the dialog modally over the parent; -1 when it could not be created.
    platform::INT_PTR runModalBox();
    // Creates the dialog as a modeless child of parent (a dialog or a control).
    platform::HWND createChild();

protected:
    virtual platform::LRESULT dialogProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                         platform::LPARAM lParam) = 0;

    platform::HWND item(int id) const { return platform::getDlgItem(window_, id); }

private:
    // Stores the object on WM_INITDIALOG and passes every message to it; a
    // message that comes before gets 0.
    static platform::LRESULT sharedProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                        platform::LPARAM lParam);

    platform::HINSTANCE instance_;
    platform::HWND parent_;
    const platform::DialogTemplate& template_;
    platform::HWND window_ = nullptr;
};

}  // namespace lyrebox
