// Control operations and the user actions that produce notifications.
#include "platform/dialog/Dialog.h"

#include "platform/Window.h"
#include "platform/dialog/DialogFrontEnd.h"
#include "platform/dialog/DialogState.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace platform {

using namespace dialog;

namespace {

inline constexpr std::uint16_t EN_CHANGE = 0x0300;

WPARAM makeWParam(int low, int high) {
    return (static_cast<WPARAM>(static_cast<std::uint16_t>(high)) << 16) | static_cast<std::uint16_t>(low);
}

// Windows sorts list boxes without regard to letter case.
bool lessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) < std::tolower(y);
    });
}

void notifyItemChanged(ControlState& control, int item, UINT newState, UINT oldState) {
    NMLISTVIEW nm;
    nm.hdr.hwndFrom = control.hwnd;
    nm.hdr.idFrom = static_cast<std::uintptr_t>(control.tmpl.id);
    nm.hdr.code = LVN_ITEMCHANGED;
    nm.iItem = item;
    nm.uNewState = newState;
    nm.uOldState = oldState;
    nm.uChanged = LVIF_STATE;
    nm.lParam = control.lvItems[static_cast<std::size_t>(item)].data;
    sendMessage(control.dialog, WM_NOTIFY, static_cast<WPARAM>(control.tmpl.id), reinterpret_cast<LPARAM>(&nm));
}

bool isShowing(const ControlState& control) {
    if (!control.visible || !control.enabled) return false;
    DialogState* dialog = findDialog(control.dialog);
    return dialog != nullptr && dialog->visible;
}

}  // namespace

HWND getDlgItem(HWND dialog, int id) {
    ControlState* control = findControl(dialog, id);
    return control != nullptr ? control->hwnd : nullptr;
}

int controlId(HWND control) {
    ControlState* state = findControl(control);
    return state != nullptr ? state->tmpl.id : 0;
}

HWND controlParent(HWND control) {
    ControlState* state = findControl(control);
    return state != nullptr ? state->dialog : nullptr;
}

DuRect clientRect(HWND window) {
    if (ControlState* control = findControl(window)) return DuRect{0, 0, control->tmpl.rect.cx, control->tmpl.rect.cy};
    if (DialogState* dialog = findDialog(window)) return DuRect{0, 0, dialog->placement.cx, dialog->placement.cy};
    return {};
}

void moveWindow(HWND dialog, const DuRect& rect) {
    if (DialogState* state = findDialog(dialog)) {
        state->placement = rect;
        notifyChanged(dialog);
    }
}

std::string getWindowText(HWND window) {
    if (ControlState* control = findControl(window)) {
        if (control->tmpl.kind == ControlKind::IPAddress) {
            // Normalised the way the control shows it.
            std::uint32_t a = ipAddressGet(window);
            char buf[16];
            std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
            return buf;
        }
        return control->text;
    }
    if (DialogState* dialog = findDialog(window)) return dialog->tmpl.caption;
    return {};
}

void setWindowText(HWND window, const std::string& text) {
    if (ControlState* control = findControl(window)) {
        control->text = text;
        control->caret = text.size();
        notifyChanged(window);
    } else if (DialogState* dialog = findDialog(window)) {
        dialog->tmpl.caption = text;
        notifyChanged(window);
    }
}

std::string getDlgItemText(HWND dialog, int id, std::size_t maxChars) {
    std::string text = getWindowText(getDlgItem(dialog, id));
    if (text.size() > maxChars) text.resize(maxChars);
    return text;
}

void setDlgItemText(HWND dialog, int id, const std::string& text) { setWindowText(getDlgItem(dialog, id), text); }

bool isDlgButtonChecked(HWND dialog, int id) {
    ControlState* control = findControl(dialog, id);
    return control != nullptr && control->checked;
}

void checkDlgButton(HWND dialog, int id, bool checked) {
    if (ControlState* control = findControl(dialog, id)) {
        control->checked = checked;
        notifyChanged(control->hwnd);
    }
}

void enableWindow(HWND window, bool enabled) {
    if (ControlState* control = findControl(window)) {
        control->enabled = enabled;
        notifyChanged(window);
    }
}

bool isWindowEnabled(HWND window) {
    if (ControlState* control = findControl(window)) return control->enabled;
    return findDialog(window) != nullptr;
}

void showWindow(HWND window, bool visible) {
    if (ControlState* control = findControl(window)) {
        control->visible = visible;
        notifyChanged(window);
    } else if (DialogState* dialog = findDialog(window)) {
        dialog->visible = visible;
        notifyChanged(window);
    }
}

bool isWindowVisible(HWND window) {
    if (ControlState* control = findControl(window)) return control->visible;
    if (DialogState* dialog = findDialog(window)) return dialog->visible;
    return false;
}

int listBoxAddString(HWND listBox, const std::string& text) {
    ControlState* control = findControl(listBox);
    if (control == nullptr) return -1;
    auto pos = control->items.end();
    if (control->tmpl.style & kStyleSorted)
        pos = std::upper_bound(control->items.begin(), control->items.end(), text, lessNoCase);
    auto index = pos - control->items.begin();
    control->items.insert(pos, text);
    control->itemSelected.insert(control->itemSelected.begin() + index, false);
    notifyChanged(listBox);
    return static_cast<int>(index);
}

bool listBoxDeleteString(HWND listBox, int index) {
    ControlState* control = findControl(listBox);
    if (control == nullptr || index < 0 || index >= static_cast<int>(control->items.size())) return false;
    control->items.erase(control->items.begin() + index);
    control->itemSelected.erase(control->itemSelected.begin() + index);
    if (control->cursor >= static_cast<int>(control->items.size()))
        control->cursor = std::max(0, static_cast<int>(control->items.size()) - 1);
    notifyChanged(listBox);
    return true;
}

void listBoxResetContent(HWND listBox) {
    if (ControlState* control = findControl(listBox)) {
        control->items.clear();
        control->itemSelected.clear();
        control->cursor = control->top = 0;
        notifyChanged(listBox);
    }
}

int listBoxCount(HWND listBox) {
    ControlState* control = findControl(listBox);
    return control != nullptr ? static_cast<int>(control->items.size()) : -1;
}

std::string listBoxText(HWND listBox, int index) {
    ControlState* control = findControl(listBox);
    if (control == nullptr || index < 0 || index >= static_cast<int>(control->items.size())) return {};
    return control->items[static_cast<std::size_t>(index)];
}

bool listBoxSetSel(HWND listBox, int index, bool selected) {
    ControlState* control = findControl(listBox);
    if (control == nullptr || index < 0 || index >= static_cast<int>(control->items.size())) return false;
    if (!(control->tmpl.style & kStyleMultiSel) && selected)
        std::fill(control->itemSelected.begin(), control->itemSelected.end(), false);
    control->itemSelected[static_cast<std::size_t>(index)] = selected;
    notifyChanged(listBox);
    return true;
}

std::vector<int> listBoxSelectedItems(HWND listBox, std::size_t maxItems) {
    std::vector<int> result;
    ControlState* control = findControl(listBox);
    if (control == nullptr) return result;
    for (std::size_t i = 0; i < control->itemSelected.size() && result.size() < maxItems; ++i)
        if (control->itemSelected[i]) result.push_back(static_cast<int>(i));
    return result;
}

void listViewSetIcons(HWND listView, const std::vector<int>& iconIds) {
    if (ControlState* control = findControl(listView)) {
        control->icons = iconIds;
        notifyChanged(listView);
    }
}

int listViewInsertItem(HWND listView, int index, const std::string& text, int image, LPARAM data) {
    ControlState* control = findControl(listView);
    if (control == nullptr) return -1;
    index = std::clamp(index, 0, static_cast<int>(control->lvItems.size()));
    control->lvItems.insert(control->lvItems.begin() + index, ListViewItem{text, image, data, false});
    notifyChanged(listView);
    return index;
}

int listViewCount(HWND listView) {
    ControlState* control = findControl(listView);
    return control != nullptr ? static_cast<int>(control->lvItems.size()) : -1;
}

namespace {
const ListViewItem* listViewItem(HWND listView, int index) {
    ControlState* control = findControl(listView);
    if (control == nullptr || index < 0 || index >= static_cast<int>(control->lvItems.size())) return nullptr;
    return &control->lvItems[static_cast<std::size_t>(index)];
}
}  // namespace

std::string listViewText(HWND listView, int index) {
    const ListViewItem* item = listViewItem(listView, index);
    return item != nullptr ? item->text : std::string();
}

int listViewImage(HWND listView, int index) {
    const ListViewItem* item = listViewItem(listView, index);
    return item != nullptr ? item->image : -1;
}

LPARAM listViewItemData(HWND listView, int index) {
    const ListViewItem* item = listViewItem(listView, index);
    return item != nullptr ? item->data : 0;
}

void listViewSelectItem(HWND listView, int index) {
    ControlState* control = findControl(listView);
    if (control == nullptr || index < 0 || index >= static_cast<int>(control->lvItems.size())) return;
    control->cursor = index;
    if (control->lvItems[static_cast<std::size_t>(index)].selected) return;
    for (std::size_t i = 0; i < control->lvItems.size(); ++i) {
        if (control->lvItems[i].selected) {
            control->lvItems[i].selected = false;
            notifyItemChanged(*control, static_cast<int>(i), 0, LVIS_SELECTED);
        }
    }
    control->lvItems[static_cast<std::size_t>(index)].selected = true;
    notifyChanged(listView);
    notifyItemChanged(*control, index, LVIS_SELECTED, 0);
}

int listViewSelectedItem(HWND listView) {
    ControlState* control = findControl(listView);
    if (control == nullptr) return -1;
    for (std::size_t i = 0; i < control->lvItems.size(); ++i)
        if (control->lvItems[i].selected) return static_cast<int>(i);
    return -1;
}

void ipAddressSet(HWND control, std::uint32_t a) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    if (ControlState* state = findControl(control)) {
        state->text = buf;
        state->caret = state->text.size();
        notifyChanged(control);
    }
}

// Four fields separated by dots; a blank field reads as 0 and a field over 255
// as 255, as the control clamps what is typed into it.
std::uint32_t ipAddressGet(HWND control) {
    ControlState* state = findControl(control);
    if (state == nullptr) return 0;
    std::uint32_t fields[4] = {0, 0, 0, 0};
    int field = 0;
    for (char c : state->text) {
        if (c == '.') {
            if (++field == 4) break;
        } else if (c >= '0' && c <= '9') {
            fields[field] = std::min<std::uint32_t>(255, fields[field] * 10 + static_cast<std::uint32_t>(c - '0'));
        }
    }
    return (fields[0] << 24) | (fields[1] << 16) | (fields[2] << 8) | fields[3];
}

int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    DialogFrontEnd* frontEnd = dialogFrontEnd();
    return frontEnd != nullptr ? frontEnd->messageBox(owner, text, caption, type) : IDOK;
}

std::optional<std::string> browseForFolder(HWND owner, const std::string& title) {
    DialogFrontEnd* frontEnd = dialogFrontEnd();
    if (frontEnd == nullptr) return std::nullopt;
    return frontEnd->browseForFolder(owner, title);
}

bool clickControl(HWND window) {
    ControlState* control = findControl(window);
    if (control == nullptr || !isShowing(*control)) return false;
    switch (control->tmpl.kind) {
        case ControlKind::CheckBox:
            control->checked = !control->checked;
            notifyChanged(window);
            break;
        case ControlKind::PushButton:
        case ControlKind::DefaultButton:
        case ControlKind::ManualCheckBox:
            break;
        default:
            return false;
    }
    sendMessage(control->dialog, WM_COMMAND, makeWParam(control->tmpl.id, BN_CLICKED), reinterpret_cast<LPARAM>(window));
    return true;
}

bool typeIntoControl(HWND window, const std::string& text) {
    ControlState* control = findControl(window);
    if (control == nullptr || !isShowing(*control)) return false;
    switch (control->tmpl.kind) {
        case ControlKind::Edit:
        case ControlKind::MultiLineEdit:
        case ControlKind::IPAddress:
            break;
        default:
            return false;
    }
    control->text = text;
    control->caret = text.size();
    notifyChanged(window);
    sendMessage(control->dialog, WM_COMMAND, makeWParam(control->tmpl.id, EN_CHANGE), reinterpret_cast<LPARAM>(window));
    return true;
}

void pressEscape(HWND dialog) { sendMessage(dialog, WM_COMMAND, makeWParam(IDCANCEL, BN_CLICKED), 0); }

// The close box: a dialog that does not answer WM_CLOSE gets IDCANCEL, as the
// system's default dialog handling does; neither closes it by itself.
void pressClose(HWND dialog) {
    if (sendMessage(dialog, WM_CLOSE, 0, 0) == 0) pressEscape(dialog);
}

}  // namespace platform
