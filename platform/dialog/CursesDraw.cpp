// Draws dialogs from their templates: dialog units scaled to cells so that the
// whole dialog fits the terminal (281 x 226 units become about 70 x 22 cells).
#include "platform/dialog/CursesView.h"

#include "platform/dialog/DialogState.h"

#include <curses.h>

#include <algorithm>
#include <cmath>

namespace platform::curses {

using dialog::ControlState;
using dialog::DialogState;

namespace {

struct Geometry {
    int top = 0, left = 0;   // screen cell of the client area's origin
    double sx = 4, sy = 8;   // dialog units per cell
};

// Nominally 4 x 8 units per cell; squeezed when the terminal is smaller.
Geometry geometryOf(const DialogState& dialog) {
    Geometry g;
    int cols = std::max(10, COLS - 2), rows = std::max(5, LINES - 2);
    int wantCols = (dialog.tmpl.cx + 3) / 4, wantRows = (dialog.tmpl.cy + 7) / 8;
    int useCols = std::min(cols, wantCols), useRows = std::min(rows, wantRows);
    g.sx = static_cast<double>(dialog.tmpl.cx) / useCols;
    g.sy = static_cast<double>(dialog.tmpl.cy) / useRows;
    g.left = (COLS - useCols) / 2;
    g.top = (LINES - useRows) / 2;
    return g;
}

struct Cells {
    int row, col, rows, cols;
};

Cells cellsOf(const Geometry& g, int ox, int oy, const DuRect& r) {
    int col0 = static_cast<int>(std::floor((ox + r.x) / g.sx));
    int col1 = static_cast<int>(std::floor((ox + r.x + r.cx) / g.sx));
    int row0 = static_cast<int>(std::floor((oy + r.y) / g.sy));
    int row1 = static_cast<int>(std::floor((oy + r.y + r.cy) / g.sy));
    return Cells{g.top + row0, g.left + col0, std::max(1, row1 - row0), std::max(1, col1 - col0)};
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n') lines.emplace_back();
        else if (c != '\r') lines.back() += c;
    }
    return lines;
}

// Line and column (in characters) of a byte position in a multi-line text.
void caretLineCol(const std::string& text, std::size_t caret, int& line, int& col) {
    line = 0;
    col = 0;
    for (std::size_t i = 0; i < caret && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            col = 0;
        } else if (text[i] != '\r' && (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++col;
        }
    }
}

// The part of a line that shows in width cells with the caret kept visible.
std::string visiblePart(const std::string& line, int caretCol, int width, int& caretX) {
    int first = std::max(0, caretCol - width + 1);
    std::size_t pos = 0;
    for (int i = 0; i < first && pos < line.size(); ++i) pos = nextChar(line, pos);
    caretX = caretCol - first;
    return line.substr(pos);
}

void drawControl(const ControlState& c, const Cells& cell, bool focused) {
    const int dim = c.enabled ? 0 : A_DIM;
    const std::string& text = c.text;
    switch (c.tmpl.kind) {
        case platform::ControlKind::Static: {
            auto lines = splitLines(text);
            for (int i = 0; i < cell.rows && i < static_cast<int>(lines.size()); ++i) {
                int col = cell.col;
                if (c.tmpl.style & kStyleCentered)
                    col += std::max(0, (cell.cols - static_cast<int>(charCount(lines[i]))) / 2);
                putText(cell.row + i, col, cell.cols - (col - cell.col), lines[i], dim);
            }
            break;
        }
        case platform::ControlKind::Edit:
        case platform::ControlKind::IPAddress: {
            int caretX = 0;
            int caretCol = static_cast<int>(charCount(text.substr(0, std::min(c.caret, text.size()))));
            std::string shown = focused ? visiblePart(text, caretCol, cell.cols, caretX) : text;
            int attributes = A_UNDERLINE | dim | (focused ? A_BOLD : 0);
            fillRow(cell.row, cell.col, cell.cols, attributes);
            putText(cell.row, cell.col, cell.cols, shown, attributes);
            if (focused) mvchgat(cell.row, cell.col + std::min(caretX, cell.cols - 1), 1, A_REVERSE, 0, nullptr);
            break;
        }
        case platform::ControlKind::MultiLineEdit: {
            drawBox(cell.row, cell.col, cell.rows, cell.cols, "", dim | (focused ? A_BOLD : 0));
            auto lines = splitLines(text);
            int line = 0, col = 0;
            caretLineCol(text, c.caret, line, col);
            int inner = std::max(1, cell.rows - 2);
            int top = std::clamp(line - inner + 1, 0, std::max(0, static_cast<int>(lines.size()) - 1));
            for (int i = 0; i < inner && top + i < static_cast<int>(lines.size()); ++i) {
                int caretX = 0;
                bool caretLine = focused && top + i == line;
                std::string shown = caretLine ? visiblePart(lines[top + i], col, cell.cols - 2, caretX) : lines[top + i];
                putText(cell.row + 1 + i, cell.col + 1, cell.cols - 2, shown, dim);
                if (caretLine) mvchgat(cell.row + 1 + i, cell.col + 1 + std::min(caretX, cell.cols - 3), 1, A_REVERSE, 0, nullptr);
            }
            if (focused && lines.size() <= 1 && text.empty()) mvchgat(cell.row + 1, cell.col + 1, 1, A_REVERSE, 0, nullptr);
            break;
        }
        case platform::ControlKind::PushButton:
        case platform::ControlKind::DefaultButton: {
            bool isDefault = c.tmpl.kind == platform::ControlKind::DefaultButton;
            std::string open = isDefault ? "<" : "[", close = isDefault ? ">" : "]";
            std::string label = open + " " + text + " " + close;
            if (static_cast<int>(charCount(label)) > cell.cols) label = open + text + close;
            int col = cell.col + std::max(0, (cell.cols - static_cast<int>(charCount(label))) / 2);
            putText(cell.row, col, cell.cols, label, dim | (focused ? A_REVERSE : 0) | (isDefault ? A_BOLD : 0));
            break;
        }
        case platform::ControlKind::CheckBox:
        case platform::ControlKind::ManualCheckBox:
            putText(cell.row, cell.col, cell.cols, std::string(c.checked ? "[x] " : "[ ] ") + text,
                    dim | (focused ? A_REVERSE : 0));
            break;
        case platform::ControlKind::GroupBox:
        case platform::ControlKind::EtchedFrame:
            drawBox(cell.row, cell.col, cell.rows, cell.cols, text, dim);
            break;
        case platform::ControlKind::Bitmap:
            putText(cell.row, cell.col, cell.cols, text.empty() ? "(picture)" : text, A_BOLD);
            break;
        case platform::ControlKind::ListBox:
        case platform::ControlKind::ListView: {
            drawBox(cell.row, cell.col, cell.rows, cell.cols, "", dim | (focused ? A_BOLD : 0));
            bool isView = c.tmpl.kind == platform::ControlKind::ListView;
            int count = static_cast<int>(isView ? c.lvItems.size() : c.items.size());
            int inner = std::max(1, cell.rows - 2);
            int top = std::clamp(c.cursor - inner + 1, 0, std::max(0, count - inner));
            if (count == 0 && focused) putText(cell.row + 1, cell.col + 1, cell.cols - 2, "(empty)", A_REVERSE);
            for (int i = 0; i < inner && top + i < count; ++i) {
                std::size_t k = static_cast<std::size_t>(top + i);
                bool selected = isView ? c.lvItems[k].selected : static_cast<bool>(c.itemSelected[k]);
                std::string label = isView ? std::string(c.lvItems[k].image >= 0 ? "\u2022 " : "  ") + c.lvItems[k].text
                                           : std::string(selected ? "+ " : "  ") + c.items[k];
                int attributes = dim;
                if (selected) attributes |= isView ? A_REVERSE : A_BOLD;
                if (focused && top + i == c.cursor) attributes |= isView ? A_BOLD | A_UNDERLINE : A_REVERSE;
                fillRow(cell.row + 1 + i, cell.col + 1, cell.cols - 2, attributes);
                putText(cell.row + 1 + i, cell.col + 1, cell.cols - 2, label, attributes);
            }
            break;
        }
    }
}

void drawContents(const DialogState& dialog, const Geometry& g, int ox, int oy, HWND focus) {
    // Frames first, so that what lies inside them is drawn over their border area.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& c : dialog.controls) {
            bool frame = c->tmpl.kind == ControlKind::GroupBox || c->tmpl.kind == ControlKind::EtchedFrame;
            if (!c->visible || frame != (pass == 0)) continue;
            drawControl(*c, cellsOf(g, ox, oy, c->tmpl.rect), c->hwnd == focus);
        }
    }
    for (DialogState* child : dialog::childDialogs(dialog.hwnd)) {
        if (!child->visible) continue;
        int cx = ox, cy = oy;
        if (ControlState* holder = dialog::findControl(child->parent)) {
            cx += holder->tmpl.rect.x;
            cy += holder->tmpl.rect.y;
        }
        drawContents(*child, g, cx + child->placement.x, cy + child->placement.y, focus);
    }
}

}  // namespace

void putText(int row, int col, int width, const std::string& text, int attributes) {
    if (row < 0 || row >= LINES || width <= 0) return;
    if (col < 0) {
        width += col;
        col = 0;
    }
    width = std::min(width, COLS - col);
    if (width <= 0) return;
    std::size_t end = 0;
    for (int n = 0; n < width && end < text.size(); ++n) end = nextChar(text, end);
    std::string part;
    for (std::size_t i = 0; i < end; ++i)   // control bytes would move the cursor
        part += static_cast<unsigned char>(text[i]) < 0x20 ? '?' : text[i];
    attron(attributes);
    mvaddstr(row, col, part.c_str());
    attroff(attributes);
}

void fillRow(int row, int col, int width, int attributes) {
    putText(row, col, width, std::string(static_cast<std::size_t>(std::max(0, width)), ' '), attributes);
}

void drawBox(int top, int left, int rows, int cols, const std::string& title, int attributes) {
    if (rows < 2 || cols < 2) return;
    attron(attributes);
    mvhline(top, left + 1, ACS_HLINE, cols - 2);
    mvhline(top + rows - 1, left + 1, ACS_HLINE, cols - 2);
    mvvline(top + 1, left, ACS_VLINE, rows - 2);
    mvvline(top + 1, left + cols - 1, ACS_VLINE, rows - 2);
    mvaddch(top, left, ACS_ULCORNER);
    mvaddch(top, left + cols - 1, ACS_URCORNER);
    mvaddch(top + rows - 1, left, ACS_LLCORNER);
    mvaddch(top + rows - 1, left + cols - 1, ACS_LRCORNER);
    attroff(attributes);
    if (title.empty()) return;
    // A title that does not fit with its margins gives them up first.
    std::string shown = " " + title + " ";
    int room = cols - 4;
    if (static_cast<int>(charCount(shown)) > room) {
        shown = title;
        room = cols - 2;
    }
    putText(top, left + (room == cols - 2 ? 1 : 2), room, shown, attributes);
}

void drawDialog(HWND hwnd, HWND focus) {
    DialogState* dialog = dialog::findDialog(hwnd);
    if (dialog == nullptr) return;
    Geometry g = geometryOf(*dialog);
    int useCols = static_cast<int>(std::lround(dialog->tmpl.cx / g.sx));
    int useRows = static_cast<int>(std::lround(dialog->tmpl.cy / g.sy));
    for (int r = -1; r <= useRows; ++r) fillRow(g.top + r, g.left - 1, useCols + 2);
    drawBox(g.top - 1, g.left - 1, useRows + 2, useCols + 2, dialog->tmpl.caption, A_BOLD);
    // The keys, in the bottom border where they take no room from the controls.
    std::string help = " Tab move  Space/Enter press  Alt+letter button  Esc cancel ";
    if (static_cast<int>(help.size()) <= useCols - 2)
        putText(g.top + useRows, g.left + (useCols - static_cast<int>(help.size())) / 2,
                static_cast<int>(help.size()), help, A_DIM);
    drawContents(*dialog, g, 0, 0, focus);
}

}  // namespace platform::curses
