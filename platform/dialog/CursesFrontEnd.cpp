// The terminal front end's layers: modal dialogs, the folder browser and
// message boxes, stacked; keys go to the top one.
#include "platform/dialog/CursesFrontEnd.h"

#include "platform/MessageLoop.h"
#include "platform/dialog/CursesView.h"
#include "platform/dialog/Dialog.h"

#include <curses.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace platform {

using namespace curses;

struct CursesFrontEnd::Layer {
    enum Kind { Modal, Browser, Box } kind = Modal;
    HWND dialog = nullptr;
    HWND focus = nullptr;
    bool done = false;
    // Message box.
    std::string text, caption;
    // Folder browser: the path edit, the sub-folder list and two buttons.
    std::string path;
    std::size_t caret = 0;
    std::vector<std::string> entries;
    int cursor = 0;
    int part = 0;   // 0 path, 1 list, 2 OK, 3 Cancel
    std::optional<std::string> result;
};

namespace {

void listFolders(CursesFrontEnd::Layer& layer) {
    layer.entries.clear();
    layer.entries.push_back("..");
    std::error_code ec;
    std::filesystem::directory_iterator it(layer.path.empty() ? "/" : layer.path, ec), end;
    std::vector<std::string> names;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code dirError;
        std::string name = it->path().filename().string();
        if (!name.empty() && name[0] != '.' && it->is_directory(dirError)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    layer.entries.insert(layer.entries.end(), names.begin(), names.end());
    layer.cursor = 0;
}

std::string joinPath(const std::string& base, const std::string& name) {
    if (name == "..") {
        std::filesystem::path p(base.empty() ? "/" : base);
        std::string s = p.string();
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        p = s;
        std::string parent = p.parent_path().string();
        return parent.empty() ? "/" : parent;
    }
    return (base.empty() || base.back() == '/' ? base : base + "/") + name;
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

void drawBrowser(const CursesFrontEnd::Layer& layer) {
    int cols = std::min(COLS - 2, 64), rows = std::min(LINES - 2, 18);
    int top = (LINES - rows) / 2, left = (COLS - cols) / 2;
    for (int r = 0; r < rows; ++r) fillRow(top + r, left, cols);
    drawBox(top, left, rows, cols, "Browse For Folder", A_BOLD);
    putText(top + 1, left + 2, cols - 4, "Folder:");
    int fieldAttr = A_UNDERLINE | (layer.part == 0 ? A_BOLD : 0);
    fillRow(top + 2, left + 2, cols - 4, fieldAttr);
    int width = cols - 4;
    int caretCol = static_cast<int>(charCount(layer.path.substr(0, layer.caret)));
    int first = std::max(0, caretCol - width + 1);
    std::size_t pos = 0;
    for (int i = 0; i < first; ++i) pos = nextChar(layer.path, pos);
    putText(top + 2, left + 2, width, layer.path.substr(pos), fieldAttr);
    if (layer.part == 0) mvchgat(top + 2, left + 2 + caretCol - first, 1, A_REVERSE, 0, nullptr);
    int listRows = rows - 7;
    drawBox(top + 3, left + 2, listRows + 2, cols - 4, "", layer.part == 1 ? A_BOLD : 0);
    int count = static_cast<int>(layer.entries.size());
    int first2 = std::clamp(layer.cursor - listRows + 1, 0, std::max(0, count - listRows));
    for (int i = 0; i < listRows && first2 + i < count; ++i) {
        int attr = (first2 + i == layer.cursor && layer.part == 1) ? A_REVERSE : 0;
        fillRow(top + 4 + i, left + 3, cols - 6, attr);
        putText(top + 4 + i, left + 3, cols - 6, layer.entries[static_cast<std::size_t>(first2 + i)] + "/", attr);
    }
    putText(top + rows - 2, left + cols / 2 - 12, 8, "< OK >", layer.part == 2 ? A_REVERSE : A_BOLD);
    putText(top + rows - 2, left + cols / 2 + 2, 10, "[ Cancel ]", layer.part == 3 ? A_REVERSE : 0);
}

void drawMessageBox(const CursesFrontEnd::Layer& layer) {
    std::vector<std::string> lines(1);
    for (char c : layer.text) {
        if (c == '\n') lines.emplace_back();
        else if (c != '\r') lines.back() += c;
    }
    int width = static_cast<int>(charCount(layer.caption)) + 6;
    for (const auto& l : lines) width = std::max(width, static_cast<int>(charCount(l)) + 4);
    width = std::min(COLS - 2, std::max(width, 20));
    int rows = static_cast<int>(lines.size()) + 4;
    int top = (LINES - rows) / 2, left = (COLS - width) / 2;
    for (int r = 0; r < rows; ++r) fillRow(top + r, left, width);
    drawBox(top, left, rows, width, layer.caption, A_BOLD);
    for (std::size_t i = 0; i < lines.size(); ++i) putText(top + 1 + static_cast<int>(i), left + 2, width - 4, lines[i]);
    putText(top + rows - 2, left + width / 2 - 3, 6, "< OK >", A_REVERSE);
}

bool isEnter(unsigned key, bool isKeyCode) {
    return isKeyCode ? key == KEY_ENTER : (key == '\n' || key == '\r');
}

bool browserKey(CursesFrontEnd::Layer& layer, unsigned key, bool isKeyCode) {
    auto accept = [&] {
        if (!isDirectory(layer.path)) {
            beep();
            return;
        }
        layer.result = layer.path;
        layer.done = true;
    };
    if (!isKeyCode && key == 27) {
        layer.done = true;
        return true;
    }
    if (!isKeyCode && key == '\t') {
        layer.part = (layer.part + 1) % 4;
        return true;
    }
    if (isKeyCode && key == KEY_BTAB) {
        layer.part = (layer.part + 3) % 4;
        return true;
    }
    switch (layer.part) {
        case 0:
            if (isEnter(key, isKeyCode)) {
                accept();
            } else if (isKeyCode && key == KEY_LEFT) {
                layer.caret = prevChar(layer.path, layer.caret);
            } else if (isKeyCode && key == KEY_RIGHT) {
                layer.caret = nextChar(layer.path, layer.caret);
            } else if ((isKeyCode && key == KEY_BACKSPACE) || (!isKeyCode && (key == 127 || key == 8))) {
                std::size_t from = prevChar(layer.path, layer.caret);
                layer.path.erase(from, layer.caret - from);
                layer.caret = from;
                if (isDirectory(layer.path)) listFolders(layer);
            } else if (!isKeyCode && key >= 0x20) {
                layer.path = appendUtf8(layer.path, layer.caret, key, &layer.caret);
                if (isDirectory(layer.path)) listFolders(layer);
            } else if (isKeyCode && key == KEY_DOWN) {
                layer.part = 1;
            }
            return true;
        case 1: {
            int count = static_cast<int>(layer.entries.size());
            if (isKeyCode && key == KEY_UP) layer.cursor = std::max(0, layer.cursor - 1);
            else if (isKeyCode && key == KEY_DOWN) layer.cursor = std::min(count - 1, layer.cursor + 1);
            else if ((isKeyCode && key == KEY_BACKSPACE) || (!isKeyCode && (key == 127 || key == 8)) ||
                     isEnter(key, isKeyCode)) {
                std::string name = isEnter(key, isKeyCode) ? layer.entries[static_cast<std::size_t>(layer.cursor)] : "..";
                layer.path = joinPath(layer.path, name);
                layer.caret = layer.path.size();
                listFolders(layer);
            }
            return true;
        }
        case 2:
            if (isEnter(key, isKeyCode) || key == ' ') accept();
            return true;
        default:
            if (isEnter(key, isKeyCode) || key == ' ') layer.done = true;
            return true;
    }
}

}  // namespace

CursesFrontEnd::CursesFrontEnd(std::function<void()> redraw) : redraw_(std::move(redraw)) {}

CursesFrontEnd::~CursesFrontEnd() {
    if (dialogFrontEnd() == this) setDialogFrontEnd(nullptr);
}

bool CursesFrontEnd::handleKey(unsigned key, bool isKeyCode) {
    if (layers_.empty()) return false;
    Layer& top = *layers_.back();
    bool used = true;
    switch (top.kind) {
        case Layer::Modal: {
            HWND focus = top.focus;
            used = dialogKey(top.dialog, focus, key, isKeyCode);
            // The layer may be gone: the key may have closed its dialog.
            if (!layers_.empty() && layers_.back().get() == &top) top.focus = focus;
            break;
        }
        case Layer::Browser:
            used = browserKey(top, key, isKeyCode);
            break;
        case Layer::Box:
            if (isEnter(key, isKeyCode) || (!isKeyCode && (key == ' ' || key == 27))) top.done = true;
            break;
    }
    requestRedraw();
    return used;
}

bool CursesFrontEnd::handleAltKey(unsigned letter) {
    if (layers_.empty()) return false;
    Layer& top = *layers_.back();
    bool used = false;
    if (top.kind == Layer::Modal) {
        HWND focus = top.focus;
        used = dialogMnemonic(top.dialog, focus, letter);
        if (!layers_.empty() && layers_.back().get() == &top) top.focus = focus;
    } else if (top.kind == Layer::Browser && (letter == 'o' || letter == 'c')) {
        top.part = letter == 'o' ? 2 : 3;
        used = browserKey(top, '\n', false);
    } else if (top.kind == Layer::Box) {
        top.done = used = true;
    }
    requestRedraw();
    return used;
}

void CursesFrontEnd::draw() {
    for (auto& layer : layers_) {
        switch (layer->kind) {
            case Layer::Modal: {
                auto order = focusOrder(layer->dialog);
                if (std::find(order.begin(), order.end(), layer->focus) == order.end())
                    layer->focus = order.empty() ? nullptr : order.front();
                drawDialog(layer->dialog, layer->focus);
                break;
            }
            case Layer::Browser: drawBrowser(*layer); break;
            case Layer::Box: drawMessageBox(*layer); break;
        }
    }
    dirty_ = false;
}

bool CursesFrontEnd::takeDirty() {
    bool dirty = dirty_;
    dirty_ = false;
    return dirty;
}

void CursesFrontEnd::requestRedraw() {
    dirty_ = true;
    if (redraw_) redraw_();
}

void CursesFrontEnd::dialogCreated(HWND) { dirty_ = true; }

void CursesFrontEnd::dialogDestroyed(HWND dialog) {
    layers_.erase(std::remove_if(layers_.begin(), layers_.end(),
                                 [&](const auto& l) { return l->kind == Layer::Modal && l->dialog == dialog; }),
                  layers_.end());
    dirty_ = true;
}

void CursesFrontEnd::modalStarted(HWND dialog) {
    auto layer = std::make_unique<Layer>();
    layer->kind = Layer::Modal;
    layer->dialog = dialog;
    layers_.push_back(std::move(layer));
    requestRedraw();
}

void CursesFrontEnd::modalEnded(HWND dialog) {
    dialogDestroyed(dialog);
    requestRedraw();
}

void CursesFrontEnd::changed(HWND) { dirty_ = true; }

std::unique_ptr<CursesFrontEnd::Layer> CursesFrontEnd::runLayer(Layer& layer) {
    requestRedraw();
    if (!layer.done) MessageLoop::current().runUntil([&] { return layer.done; });
    if (!layer.done) MessageLoop::current().quit();   // passed on to the loop outside
    std::unique_ptr<Layer> owned;
    for (auto it = layers_.begin(); it != layers_.end(); ++it) {
        if (it->get() == &layer) {
            owned = std::move(*it);
            layers_.erase(it);
            break;
        }
    }
    requestRedraw();
    return owned;
}

int CursesFrontEnd::messageBox(HWND, const std::string& text, const std::string& caption, UINT) {
    layers_.push_back(std::make_unique<Layer>());
    Layer& layer = *layers_.back();
    layer.kind = Layer::Box;
    layer.text = text;
    layer.caption = caption;
    runLayer(layer);
    return IDOK;
}

std::optional<std::string> CursesFrontEnd::browseForFolder(HWND, const std::string&) {
    layers_.push_back(std::make_unique<Layer>());
    Layer& layer = *layers_.back();
    layer.kind = Layer::Browser;
    std::error_code ec;
    layer.path = std::filesystem::current_path(ec).string();
    if (layer.path.empty()) layer.path.assign(1, '/');
    layer.caret = layer.path.size();
    listFolders(layer);
    auto done = runLayer(layer);
    return done ? done->result : std::nullopt;
}

}  // namespace platform
