// Dialog creation, the modal loop, endDialog and the handle registry.
#include "platform/dialog/Dialog.h"

#include "platform/MessageLoop.h"
#include "platform/Window.h"
#include "platform/dialog/DialogFrontEnd.h"
#include "platform/dialog/DialogState.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>

namespace platform {
namespace dialog {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<HWND, std::unique_ptr<DialogState>> dialogs;
    std::vector<HWND> order;               // creation order of dialogs
    std::map<HWND, ControlState*> controls;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

std::atomic<DialogFrontEnd*> gFrontEnd{nullptr};

LRESULT runClosure(LPARAM lParam) {
    auto* fn = reinterpret_cast<const std::function<void()>*>(lParam);
    if (fn != nullptr) (*fn)();
    return 1;
}

// The procedure of every dialog window: the toolkit's private messages are
// answered here, everything else goes to the dialog's procedure.
LRESULT dialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunClosure) return runClosure(lParam);
    DialogState* state = findDialog(hwnd);
    if (state == nullptr || state->proc == nullptr) return 0;
    return state->proc(hwnd, message, wParam, lParam);
}

LRESULT controlWindowProc(HWND, UINT message, WPARAM, LPARAM lParam) {
    if (message == kRunClosure) return runClosure(lParam);
    return 0;
}

HWND create(const DialogTemplate& dialogTemplate, HWND parent, WindowProc proc, LPARAM initParam, bool modal) {
    DialogFrontEnd* frontEnd = gFrontEnd.load();
    if (frontEnd == nullptr || !frontEnd->canShowDialogs()) return nullptr;
    auto state = std::make_unique<DialogState>();
    state->hwnd = createWindow(&dialogWindowProc);
    state->parent = parent;
    state->tmpl = dialogTemplate;
    state->proc = proc;
    state->modal = modal;
    state->placement = DuRect{0, 0, dialogTemplate.cx, dialogTemplate.cy};
    // A child of another dialog starts hidden; a top-level one is shown.
    state->visible = (parent == nullptr || (findDialog(parent) == nullptr && findControl(parent) == nullptr));
    for (const ControlTemplate& ct : dialogTemplate.controls) {
        auto control = std::make_unique<ControlState>();
        control->hwnd = createWindow(&controlWindowProc);
        control->dialog = state->hwnd;
        control->tmpl = ct;
        control->text = ct.text;
        state->controls.push_back(std::move(control));
    }
    HWND hwnd = state->hwnd;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        for (auto& control : state->controls) r.controls[control->hwnd] = control.get();
        r.dialogs[hwnd] = std::move(state);
        r.order.push_back(hwnd);
    }
    frontEnd->dialogCreated(hwnd);
    sendMessage(hwnd, WM_INITDIALOG, 0, initParam);
    return hwnd;
}

}  // namespace

DialogState* findDialog(HWND window) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.dialogs.find(window);
    return it == r.dialogs.end() ? nullptr : it->second.get();
}

ControlState* findControl(HWND window) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.controls.find(window);
    return it == r.controls.end() ? nullptr : it->second;
}

ControlState* findControl(HWND dialog, int id) {
    DialogState* state = findDialog(dialog);
    if (state == nullptr) return nullptr;
    for (auto& control : state->controls)
        if (control->tmpl.id == id) return control.get();
    return nullptr;
}

std::vector<DialogState*> childDialogs(HWND dialog) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<DialogState*> result;
    for (HWND hwnd : r.order) {
        DialogState* child = r.dialogs[hwnd].get();
        HWND parent = child->parent;
        if (parent == nullptr) continue;
        auto control = r.controls.find(parent);
        if (control != r.controls.end()) parent = control->second->dialog;
        if (parent == dialog) result.push_back(child);
    }
    return result;
}

void notifyChanged(HWND window) {
    DialogFrontEnd* frontEnd = gFrontEnd.load();
    if (frontEnd == nullptr) return;
    if (ControlState* control = findControl(window)) window = control->dialog;
    frontEnd->changed(window);
}

}  // namespace dialog

using namespace dialog;

void setDialogFrontEnd(DialogFrontEnd* frontEnd) { gFrontEnd.store(frontEnd); }
DialogFrontEnd* dialogFrontEnd() { return gFrontEnd.load(); }

HWND createDialog(const DialogTemplate& dialogTemplate, HWND parent, WindowProc proc, LPARAM initParam) {
    return create(dialogTemplate, parent, proc, initParam, false);
}

INT_PTR dialogBox(const DialogTemplate& dialogTemplate, HWND parent, WindowProc proc, LPARAM initParam) {
    HWND hwnd = create(dialogTemplate, parent, proc, initParam, true);
    if (hwnd == nullptr) return -1;
    DialogFrontEnd* frontEnd = gFrontEnd.load();
    frontEnd->modalStarted(hwnd);
    auto ended = [hwnd] {
        DialogState* state = findDialog(hwnd);
        return state == nullptr || state->ended;
    };
    if (!ended()) MessageLoop::current().runUntil(ended);
    // A quit meant for the thread's loop ended the nested one instead: the
    // dialog closes and the quit goes on to the loop outside, as the
    // system's modal loops pass on a quit message.
    if (!ended()) MessageLoop::current().quit();
    DialogState* state = findDialog(hwnd);
    INT_PTR result = state != nullptr ? state->result : -1;
    frontEnd->modalEnded(hwnd);
    destroyDialog(hwnd);
    return result;
}

bool endDialog(HWND dialog, INT_PTR result) {
    DialogState* state = findDialog(dialog);
    if (state == nullptr) return false;
    if (!state->modal) {
        destroyDialog(dialog);
        return true;
    }
    state->ended = true;
    state->result = result;
    // Wakes the nested loop so that it looks at the flag.
    postMessage(dialog, kRunClosure, 0, 0);
    return true;
}

void destroyDialog(HWND dialog) {
    if (findDialog(dialog) == nullptr) return;
    for (DialogState* child : childDialogs(dialog)) destroyDialog(child->hwnd);
    // The dialog's object learns here that its window is going.
    sendMessage(dialog, WM_DESTROY, 0, 0);
    std::unique_ptr<DialogState> state;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.dialogs.find(dialog);
        if (it == r.dialogs.end()) return;
        state = std::move(it->second);
        r.dialogs.erase(it);
        r.order.erase(std::remove(r.order.begin(), r.order.end(), dialog), r.order.end());
        for (auto& control : state->controls) r.controls.erase(control->hwnd);
    }
    if (DialogFrontEnd* frontEnd = gFrontEnd.load()) frontEnd->dialogDestroyed(dialog);
    for (auto& control : state->controls) destroyWindow(control->hwnd);
    destroyWindow(dialog);
}

bool isDialog(HWND window) { return findDialog(window) != nullptr; }

int dialogTemplateId(HWND dialog) {
    DialogState* state = findDialog(dialog);
    return state != nullptr ? state->tmpl.id : 0;
}

}  // namespace platform
