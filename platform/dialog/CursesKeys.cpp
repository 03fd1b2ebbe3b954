// Keys in a dialog on the terminal: focus movement, editing, buttons, lists.
#include "platform/dialog/CursesView.h"

#include "platform/Window.h"
#include "platform/dialog/Dialog.h"
#include "platform/dialog/DialogState.h"

#include <curses.h>

#include <algorithm>
#include <cctype>

namespace platform::curses {

using dialog::ControlState;
using dialog::DialogState;

std::size_t prevChar(const std::string& text, std::size_t pos) {
    if (pos == 0) return 0;
    --pos;
    while (pos > 0 && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) --pos;
    return pos;
}

std::size_t nextChar(const std::string& text, std::size_t pos) {
    if (pos >= text.size()) return text.size();
    ++pos;
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
    return pos;
}

std::size_t charCount(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string appendUtf8(std::string text, std::size_t pos, unsigned cp, std::size_t* newPos) {
    std::string bytes;
    if (cp < 0x80) {
        bytes += static_cast<char>(cp);
    } else if (cp < 0x800) {
        bytes += static_cast<char>(0xC0 | (cp >> 6));
        bytes += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        bytes += static_cast<char>(0xE0 | (cp >> 12));
        bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (cp >> 18));
        bytes += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (cp & 0x3F));
    }
    pos = std::min(pos, text.size());
    text.insert(pos, bytes);
    if (newPos != nullptr) *newPos = pos + bytes.size();
    return text;
}

namespace {

bool takesFocus(const ControlState& c) {
    if (!c.visible || !c.enabled) return false;
    switch (c.tmpl.kind) {
        case ControlKind::Static:
        case ControlKind::GroupBox:
        case ControlKind::EtchedFrame:
        case ControlKind::Bitmap:
            return false;
        default:
            return true;
    }
}

void collect(HWND hwnd, std::vector<HWND>& out) {
    DialogState* dialog = dialog::findDialog(hwnd);
    if (dialog == nullptr || !dialog->visible) return;
    auto children = dialog::childDialogs(hwnd);
    for (const auto& c : dialog->controls) {
        if (takesFocus(*c)) out.push_back(c->hwnd);
        for (DialogState* child : children)
            if (child->parent == c->hwnd) collect(child->hwnd, out);
    }
    for (DialogState* child : children)
        if (child->parent == hwnd) collect(child->hwnd, out);
}

void moveFocus(HWND dialog, HWND& focus, int step) {
    auto order = focusOrder(dialog);
    if (order.empty()) {
        focus = nullptr;
        return;
    }
    auto it = std::find(order.begin(), order.end(), focus);
    int n = static_cast<int>(order.size());
    int index = it == order.end() ? (step > 0 ? -1 : 0) : static_cast<int>(it - order.begin());
    focus = order[static_cast<std::size_t>(((index + step) % n + n) % n)];
}

// Replaces the edit's text the way typing does (notifications included) and
// puts the caret where the edit left it.
void edit(ControlState& c, const std::string& text, std::size_t caret) {
    typeIntoControl(c.hwnd, text);
    c.caret = std::min(caret, text.size());
}

bool editKey(ControlState& c, unsigned key, bool isKeyCode) {
    const std::string text = c.text;
    std::size_t caret = std::min(c.caret, text.size());
    bool multi = c.tmpl.kind == ControlKind::MultiLineEdit;
    if (isKeyCode) {
        switch (key) {
            case KEY_LEFT: c.caret = prevChar(text, caret); return true;
            case KEY_RIGHT: c.caret = nextChar(text, caret); return true;
            case KEY_HOME: {
                std::size_t p = (!multi || caret == 0) ? std::string::npos : text.rfind('\n', caret - 1);
                c.caret = p == std::string::npos ? 0 : p + 1;
                return true;
            }
            case KEY_END: c.caret = multi ? std::min(text.find('\r', caret), text.size()) : text.size(); return true;
            case KEY_BACKSPACE:
                if (caret > 0) {
                    std::size_t from = prevChar(text, caret);
                    if (from > 0 && text.compare(from - 1, 2, "\r\n") == 0) --from;
                    edit(c, text.substr(0, from) + text.substr(caret), from);
                }
                return true;
            case KEY_DC:
                if (caret < text.size()) {
                    std::size_t to = text.compare(caret, 2, "\r\n") == 0 ? caret + 2 : nextChar(text, caret);
                    edit(c, text.substr(0, caret) + text.substr(to), caret);
                }
                return true;
            case KEY_UP:
            case KEY_DOWN: {
                if (!multi) return false;
                // Same column on the previous or next line.
                std::size_t lineStart = caret == 0 ? 0 : text.rfind('\n', caret - 1);
                lineStart = lineStart == std::string::npos ? 0 : (caret == 0 ? 0 : lineStart + 1);
                std::size_t column = caret - lineStart;
                if (key == KEY_UP) {
                    if (lineStart == 0) return true;
                    std::size_t prevStart = lineStart >= 2 ? text.rfind('\n', lineStart - 2) : std::string::npos;
                    prevStart = prevStart == std::string::npos ? 0 : prevStart + 1;
                    std::size_t prevEnd = text.find_first_of("\r\n", prevStart);
                    c.caret = std::min(prevStart + column, prevEnd);
                } else {
                    std::size_t next = text.find('\n', caret);
                    if (next == std::string::npos) return true;
                    std::size_t nextStart = next + 1;
                    std::size_t nextEnd = std::min(text.find_first_of("\r\n", nextStart), text.size());
                    c.caret = std::min(nextStart + column, nextEnd);
                }
                return true;
            }
            default: return false;
        }
    }
    if (key == 127 || key == 8) return editKey(c, KEY_BACKSPACE, true);
    if ((key == '\n' || key == '\r') && multi) {
        edit(c, text.substr(0, caret) + "\r\n" + text.substr(caret), caret + 2);
        return true;
    }
    if (key < 0x20 || key == 0x7F) return false;
    if (c.tmpl.kind == ControlKind::IPAddress && !((key >= '0' && key <= '9') || key == '.')) return true;
    std::size_t newCaret = 0;
    std::string next = appendUtf8(text, caret, key, &newCaret);
    edit(c, next, newCaret);
    return true;
}

bool listKey(ControlState& c, unsigned key, bool isKeyCode) {
    bool isView = c.tmpl.kind == ControlKind::ListView;
    int count = static_cast<int>(isView ? c.lvItems.size() : c.items.size());
    if (count == 0) return false;
    int cursor = std::clamp(c.cursor, 0, count - 1);
    if (isKeyCode && (key == KEY_UP || key == KEY_DOWN || key == KEY_HOME || key == KEY_END ||
                      key == KEY_PPAGE || key == KEY_NPAGE)) {
        if (key == KEY_UP) cursor = std::max(0, cursor - 1);
        if (key == KEY_DOWN) cursor = std::min(count - 1, cursor + 1);
        if (key == KEY_HOME || key == KEY_PPAGE) cursor = 0;
        if (key == KEY_END || key == KEY_NPAGE) cursor = count - 1;
        c.cursor = cursor;
        // A list view follows the cursor with its selection, as arrow keys do there.
        if (isView) listViewSelectItem(c.hwnd, cursor);
        dialog::notifyChanged(c.hwnd);
        return true;
    }
    if (!isKeyCode && key == ' ') {
        if (isView) {
            listViewSelectItem(c.hwnd, cursor);
        } else {
            listBoxSetSel(c.hwnd, cursor, !c.itemSelected[static_cast<std::size_t>(cursor)]);
            sendMessage(c.dialog, WM_COMMAND, (WPARAM{1} << 16) | static_cast<std::uint16_t>(c.tmpl.id),
                        reinterpret_cast<LPARAM>(c.hwnd));
        }
        return true;
    }
    return false;
}

HWND defaultButton(HWND hwnd) {
    DialogState* dialog = dialog::findDialog(hwnd);
    if (dialog == nullptr) return nullptr;
    for (const auto& c : dialog->controls)
        if (c->tmpl.kind == ControlKind::DefaultButton) return c->hwnd;
    return nullptr;
}

}  // namespace

std::vector<HWND> focusOrder(HWND dialog) {
    std::vector<HWND> out;
    collect(dialog, out);
    return out;
}

bool dialogMnemonic(HWND dialog, HWND& focus, unsigned letter) {
    if (letter >= 0x80) return false;
    for (HWND hwnd : focusOrder(dialog)) {
        ControlState* c = dialog::findControl(hwnd);
        switch (c->tmpl.kind) {
            case ControlKind::PushButton:
            case ControlKind::DefaultButton:
            case ControlKind::CheckBox:
            case ControlKind::ManualCheckBox:
                if (!c->text.empty() && std::tolower(static_cast<unsigned char>(c->text[0])) ==
                                            std::tolower(static_cast<int>(letter))) {
                    focus = hwnd;
                    clickControl(hwnd);
                    return true;
                }
                break;
            default:
                break;
        }
    }
    return false;
}

bool dialogKey(HWND dialog, HWND& focus, unsigned key, bool isKeyCode) {
    auto order = focusOrder(dialog);
    if (std::find(order.begin(), order.end(), focus) == order.end()) focus = order.empty() ? nullptr : order.front();
    ControlState* c = focus != nullptr ? dialog::findControl(focus) : nullptr;

    if (!isKeyCode && key == 27) {
        pressEscape(dialog);
        return true;
    }
    if (!isKeyCode && key == '\t') {
        moveFocus(dialog, focus, 1);
        return true;
    }
    if (isKeyCode && key == KEY_BTAB) {
        moveFocus(dialog, focus, -1);
        return true;
    }
    if (c != nullptr) {
        switch (c->tmpl.kind) {
            case ControlKind::Edit:
            case ControlKind::MultiLineEdit:
            case ControlKind::IPAddress:
                if (editKey(*c, key, isKeyCode)) return true;
                break;
            case ControlKind::ListBox:
            case ControlKind::ListView:
                if (listKey(*c, key, isKeyCode)) return true;
                break;
            case ControlKind::PushButton:
            case ControlKind::DefaultButton:
            case ControlKind::CheckBox:
            case ControlKind::ManualCheckBox:
                if (!isKeyCode && (key == ' ' || ((key == '\n' || key == '\r') && c->tmpl.kind != ControlKind::CheckBox &&
                                                  c->tmpl.kind != ControlKind::ManualCheckBox))) {
                    clickControl(focus);
                    return true;
                }
                break;
            default:
                break;
        }
    }
    if (isKeyCode && (key == KEY_DOWN || key == KEY_RIGHT)) {
        moveFocus(dialog, focus, 1);
        return true;
    }
    if (isKeyCode && (key == KEY_UP || key == KEY_LEFT)) {
        moveFocus(dialog, focus, -1);
        return true;
    }
    if ((!isKeyCode && (key == '\n' || key == '\r')) || (isKeyCode && key == KEY_ENTER)) {
        if (HWND button = defaultButton(dialog); button != nullptr && isWindowEnabled(button))
            clickControl(button);
        else if (button == nullptr)
            sendMessage(dialog, WM_COMMAND, IDOK, 0);
        return true;
    }
    return false;
}

}  // namespace platform::curses
