#include "host/tui/TerminalUi.h"

#include "host/player/Player.h"
#include "host/player/StartItems.h"
#include "platform/dialog/CursesView.h"
#include "platform/player/PlayerIpc.h"

#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lyrebox {

using platform::curses::putText;

namespace {

inline constexpr auto kTick = std::chrono::milliseconds(250);
inline constexpr int kVolumeStep = 16;
inline constexpr int kHeaderRows = 5;   // title bar, title, artist, time, rule
inline constexpr int kFooterRows = 4;   // rule, service line, two lines of key help
// A selection the user moved stays put for this long when the track changes.
inline constexpr auto kFollowPause = std::chrono::seconds(5);

std::string clock(std::int64_t ms) {
    std::int64_t s = std::max<std::int64_t>(0, ms / 1000);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
    return buf;
}

const char* stateName(PlayState state) {
    switch (state) {
        case PlayState::Playing: return "playing";
        case PlayState::Paused: return "paused";
        default: return "stopped";
    }
}

bool isEnter(unsigned key, bool isKeyCode) { return isKeyCode ? key == KEY_ENTER : (key == '\n' || key == '\r'); }
bool isBackspace(unsigned key, bool isKeyCode) { return isKeyCode ? key == KEY_BACKSPACE : (key == 127 || key == 8); }

}  // namespace

bool TerminalUi::available() {
    const char* term = std::getenv("TERM");
    return ::isatty(0) && ::isatty(1) && term != nullptr && std::strcmp(term, "dumb") != 0;
}

TerminalUi::TerminalUi(host::HostWindow& window, Player& player)
    : window_(window), player_(player), dialogs_([this] { redraw(); }) {
    std::setlocale(LC_ALL, "");
    // ncursesw draws multi-byte titles only in a UTF-8 locale.
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
    // Diagnostics written to the terminal would tear the screen apart.
    std::fflush(stderr);
    savedStderr_ = ::dup(2);
    int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull >= 0) {
        ::dup2(devNull, 2);
        ::close(devNull);
    }
    initscr();
    cbreak();
    noecho();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    platform::setDialogFrontEnd(&dialogs_);
    auto& loop = platform::MessageLoop::current();
    loop.addFd(0, [this] { onInput(); });
    timer_ = loop.addTimer(kTick, [this] { redraw(); });
    player_.setChangeListener([this] { redraw(); });
    redraw();
}

TerminalUi::~TerminalUi() {
    player_.setChangeListener(nullptr);
    auto& loop = platform::MessageLoop::current();
    loop.removeTimer(timer_);
    loop.removeFd(0);
    platform::setDialogFrontEnd(nullptr);
    endwin();
    if (savedStderr_ >= 0) {
        ::dup2(savedStderr_, 2);
        ::close(savedStderr_);
    }
}

void TerminalUi::onInput() {
    wint_t ch = 0;
    int r;
    while ((r = get_wch(&ch)) != ERR) {
        bool isKeyCode = r == KEY_CODE_YES;
        if (!isKeyCode && ch == 27 && dialogs_.active()) {
            // Esc with a letter right behind it is Alt+letter.
            wint_t next = 0;
            int r2 = get_wch(&next);
            if (r2 == OK && next >= 'a' && next <= 'z') {
                dialogs_.handleAltKey(static_cast<unsigned>(next));
                continue;
            }
            if (r2 == KEY_CODE_YES) ungetch(static_cast<int>(next));
            else if (r2 == OK) unget_wch(next);
        }
        if (isKeyCode && ch == KEY_RESIZE) {
            clear();
        } else if (dialogs_.active()) {
            dialogs_.handleKey(static_cast<unsigned>(ch), isKeyCode);
        } else if (menu_.which >= 0) {
            onMenuKey(static_cast<unsigned>(ch), isKeyCode);
        } else if (prompting_) {
            onPromptKey(static_cast<unsigned>(ch), isKeyCode);
        } else {
            onKey(static_cast<unsigned>(ch), isKeyCode);
        }
    }
    redraw();
}

void TerminalUi::onKey(unsigned key, bool isKeyCode) {
    const int count = static_cast<int>(player_.playList().size());
    status_.clear();
    if (isKeyCode && (key == KEY_UP || key == KEY_DOWN || key == KEY_PPAGE || key == KEY_NPAGE || key == KEY_HOME ||
                      key == KEY_END))
        selectionMoved();
    if (isKeyCode) {
        switch (key) {
            case KEY_UP: selected_ = std::max(0, selected_ - 1); break;
            case KEY_DOWN: selected_ = std::min(std::max(0, count - 1), selected_ + 1); break;
            case KEY_PPAGE: selected_ = std::max(0, selected_ - 10); break;
            case KEY_NPAGE: selected_ = std::min(std::max(0, count - 1), selected_ + 10); break;
            case KEY_HOME: selected_ = 0; break;
            case KEY_END: selected_ = std::max(0, count - 1); break;
            case KEY_DC: choose(kCmdRemoveSelected); break;
            case KEY_ENTER: onKey('\n', false); break;
            case KEY_LEFT: window_.chooseCommand(static_cast<platform::UINT>(ipc::kCmdRewind5s)); break;
            case KEY_RIGHT: window_.chooseCommand(static_cast<platform::UINT>(ipc::kCmdForward5s)); break;
            default: break;
        }
        return;
    }
    switch (key) {
        case 'z': window_.chooseCommand(static_cast<platform::UINT>(ipc::kCmdPrevious)); break;
        case 'x': window_.chooseCommand(static_cast<platform::UINT>(ipc::kCmdPlay)); break;
        case 'c': window_.chooseCommand(static_cast<platform::UINT>(ipc::kCmdPause)); break;
        case 'v': window_.chooseCommand(static_cast<platform::UINT>(ipc::kCmdStop)); break;
        case 'b': window_.chooseCommand(static_cast<platform::UINT>(ipc::kCmdNext)); break;
        case '+':
        case '=': player_.setVolume(std::min(255, player_.volume() + kVolumeStep)); break;
        case '-': player_.setVolume(std::max(0, player_.volume() - kVolumeStep)); break;
        case 's': window_.chooseCommand(static_cast<platform::UINT>(ipc::kCmdToggleShuffle)); break;
        case 'r': window_.chooseCommand(static_cast<platform::UINT>(ipc::kCmdToggleRepeat)); break;
        case '\n':
        case '\r':
            if (selected_ < count) {
                player_.setCurrent(selected_);
                player_.play();
            }
            break;
        case 'd': choose(kCmdRemoveSelected); break;
        case 'a': choose(kCmdAddFile); break;
        case 'm': openMenu(host::HostWindow::kMainMenu); break;
        case 'p': openMenu(host::HostWindow::kPlaylistMenu); break;
        case 'q': choose(kCmdExit); break;
        default: break;
    }
}

// The host asks the window for a menu's items the way the classic player
// does before showing one, so plugins can add theirs.
void TerminalUi::openMenu(int which) {
    menu_.which = which;
    menu_.items = window_.openMenu(which);
    menu_.cursor = 0;
    if (menu_.items.empty()) menu_.which = -1;
}

void TerminalUi::onMenuKey(unsigned key, bool isKeyCode) {
    const int count = static_cast<int>(menu_.items.size());
    if (isKeyCode && key == KEY_UP) menu_.cursor = (menu_.cursor + count - 1) % count;
    else if (isKeyCode && key == KEY_DOWN) menu_.cursor = (menu_.cursor + 1) % count;
    else if (!isKeyCode && (key == 27 || key == 'm' || key == 'p')) menu_.which = -1;
    else if (isEnter(key, isKeyCode)) {
        platform::UINT id = menu_.items[static_cast<std::size_t>(menu_.cursor)].commandId;
        menu_.which = -1;   // closed before the command runs: it may open a dialog
        redraw();
        choose(id);
    }
}

// Sends the item's WM_COMMAND through the window (plugins see it first), then
// carries out the host's own terminal items.
void TerminalUi::choose(platform::UINT commandId) {
    window_.chooseCommand(commandId);
    switch (commandId) {
        case kCmdExit:
            platform::MessageLoop::current().quit();
            break;
        case kCmdAddFile:
            prompting_ = true;
            prompt_.clear();
            break;
        case kCmdRemoveSelected:
            if (selected_ < static_cast<int>(player_.playList().size())) player_.remove(selected_);
            selected_ = std::min(selected_, std::max(0, static_cast<int>(player_.playList().size()) - 1));
            break;
        case kCmdClearList:
            player_.clear();
            selected_ = 0;
            break;
        default:
            break;
    }
}

void TerminalUi::onPromptKey(unsigned key, bool isKeyCode) {
    if (!isKeyCode && key == 27) {
        prompting_ = false;
    } else if (isEnter(key, isKeyCode)) {
        prompting_ = false;
        addPath(prompt_);
    } else if (isBackspace(key, isKeyCode)) {
        prompt_.erase(platform::curses::prevChar(prompt_, prompt_.size()));
    } else if (!isKeyCode && key >= 0x20) {
        prompt_ = platform::curses::appendUtf8(prompt_, prompt_.size(), key, nullptr);
    }
}

void TerminalUi::addPath(const std::string& path) {
    if (path.empty()) return;
    StartItems items = expandStartItems({path});
    for (const std::string& entry : items.entries) player_.enqueue(entry, "", 0);
    status_ = items.missing.empty() ? "Added " + std::to_string(items.entries.size()) + " file(s)"
                                    : "No such file or folder: " + path;
}

void TerminalUi::setServiceLine(std::string line) {
    serviceLine_ = std::move(line);
    redraw();
}

void TerminalUi::followPlaying() {
    const int current = player_.current();
    if (current == followed_) return;
    followed_ = current;
    if (std::chrono::steady_clock::now() - movedAt_ >= kFollowPause) selected_ = current;
}

void TerminalUi::redraw() {
    erase();
    drawPlayer();
    if (menu_.which >= 0) drawMenu();
    if (prompting_) drawPrompt();
    dialogs_.draw();
    refresh();
}

void TerminalUi::drawPlayer() {
    const std::string& file = player_.playingFile();
    if (file != tagsFile_) {
        tagsFile_ = file;
        bool readable = false;
        title_ = file.empty() ? "" : player_.extendedInfo(file, "title", readable);
        artist_ = file.empty() ? "" : player_.extendedInfo(file, "artist", readable);
        if (title_.empty() && !file.empty()) title_ = file.substr(file.rfind('/') + 1);
    }
    const PlayList& list = player_.playList();
    const int count = static_cast<int>(list.size());
    const int current = player_.current();

    putText(0, 0, COLS, std::string(static_cast<std::size_t>(COLS), ' '), A_REVERSE);
    putText(0, 1, COLS - 2, "Lyrebox Player", A_REVERSE | A_BOLD);
    std::string state = std::string("[") + stateName(player_.state()) + "]";
    putText(0, COLS - static_cast<int>(state.size()) - 1, static_cast<int>(state.size()), state, A_REVERSE);
    putText(1, 1, COLS - 2, "Title:  " + title_);
    putText(2, 1, COLS - 2, "Artist: " + artist_);
    std::string time = "Time:   " + clock(player_.positionMs()) + " / " + clock(player_.lengthMs()) +
                       "    Volume " + std::to_string(player_.volume() * 100 / 255) + "%" +
                       "    Shuffle " + (player_.shuffle() ? "on" : "off") + "    Repeat " +
                       (player_.repeat() ? "on" : "off");
    putText(3, 1, COLS - 2, time);
    mvhline(4, 0, ACS_HLINE, COLS);
    putText(4, 2, COLS - 4, " Play list (" + std::to_string(count) + ") ");

    const int rows = std::max(1, LINES - kHeaderRows - kFooterRows);
    followPlaying();
    selected_ = std::clamp(selected_, 0, std::max(0, count - 1));
    if (selected_ < top_) top_ = selected_;
    if (selected_ >= top_ + rows) top_ = selected_ - rows + 1;
    top_ = std::clamp(top_, 0, std::max(0, count - rows));
    for (int i = 0; i < rows && top_ + i < count; ++i) {
        const int index = top_ + i;
        const PlayListItem* item = list.at(static_cast<std::size_t>(index));
        std::string mark = index == current ? " > " : "   ";
        std::string line = mark + std::to_string(index + 1) + ". " + (item->title.empty() ? item->fileName : item->title);
        if (item->lengthSeconds > 0) line += "  (" + clock(item->lengthSeconds * 1000LL) + ")";
        int attributes = (index == selected_ ? A_REVERSE : 0) | (index == current ? A_BOLD : 0);
        if (index == selected_) putText(kHeaderRows + i, 0, COLS, std::string(static_cast<std::size_t>(COLS), ' '), attributes);
        putText(kHeaderRows + i, 0, COLS, line, attributes);
    }
    if (count == 0) putText(kHeaderRows, 3, COLS - 4, "(empty: press a to add a file or folder)", A_DIM);

    mvhline(LINES - 4, 0, ACS_HLINE, COLS);
    putText(LINES - 3, 1, COLS - 2, serviceLine_, A_BOLD);
    putText(LINES - 2, 1, COLS - 2, "z prev  x play  c pause  v stop  b next  +/- volume  s shuffle  r repeat");
    putText(LINES - 1, 1, COLS - 2,
            status_.empty() ? "Enter play  d/Del remove  a add  m menu  p list menu  <-/-> seek  q quit" : status_,
            status_.empty() ? 0 : A_BOLD);
}

void TerminalUi::drawMenu() {
    int width = 10;
    for (const auto& item : menu_.items) width = std::max(width, static_cast<int>(item.text.size()) + 4);
    const int rows = static_cast<int>(menu_.items.size()) + 2;
    const int top = 1, left = menu_.which == host::HostWindow::kMainMenu ? 1 : 20;
    for (int r = 0; r < rows; ++r) platform::curses::fillRow(top + r, left, width);
    platform::curses::drawBox(top, left, rows, width,
                              menu_.which == host::HostWindow::kMainMenu ? "Menu" : "Play list", A_BOLD);
    for (int i = 0; i < static_cast<int>(menu_.items.size()); ++i) {
        int attributes = i == menu_.cursor ? A_REVERSE : 0;
        platform::curses::fillRow(top + 1 + i, left + 1, width - 2, attributes);
        putText(top + 1 + i, left + 2, width - 3, menu_.items[static_cast<std::size_t>(i)].text, attributes);
    }
}

void TerminalUi::drawPrompt() {
    platform::curses::fillRow(LINES - 1, 0, COLS);
    std::string label = "Add file or folder: ";
    putText(LINES - 1, 1, COLS - 2, label + prompt_, A_BOLD);
    int caret = 1 + static_cast<int>(platform::curses::charCount(label + prompt_));
    if (caret < COLS) mvchgat(LINES - 1, caret, 1, A_REVERSE, 0, nullptr);
}

}  // namespace lyrebox
