#include "tests/support/FakePlayer.h"

#include "platform/Window.h"

#include <cstring>
#include <utility>

namespace lyrebox::test {

namespace {
FakePlayer& self(platform::HWND window) { return *static_cast<FakePlayer*>(platform::windowUserData(window)); }
}  // namespace

FakePlayer::FakePlayer(Thread where) {
    if (where == OwnThread) thread_ = std::make_unique<LoopThread>();
    with([this](FakePlayer&) {
        mainWindow_ = platform::createWindow(&FakePlayer::mainProc, this);
        editorWindow_ = platform::createWindow(&FakePlayer::editorProc, this);
    });
}

FakePlayer::~FakePlayer() {
    with([this](FakePlayer&) {
        platform::destroyWindow(editorWindow_);
        platform::destroyWindow(mainWindow_);
    });
}

void FakePlayer::with(const std::function<void(FakePlayer&)>& fn) {
    if (thread_) thread_->run([&] { fn(*this); });
    else fn(*this);
}

void FakePlayer::setEntries(std::vector<FakeEntry> list, int current) {
    with([&](FakePlayer& p) {
        p.entries = std::move(list);
        p.position = current;
    });
}

int FakePlayer::currentPosition() {
    int result = 0;
    with([&](FakePlayer& p) { result = p.position; });
    return result;
}

void FakePlayer::fill(int count) {
    with([&](FakePlayer& p) {
        for (int i = 0; i < count; ++i) p.entries.push_back({"old" + std::to_string(i), "Old " + std::to_string(i)});
    });
}

std::vector<std::string> FakePlayer::fileNames() {
    std::vector<std::string> out;
    with([&](FakePlayer& p) {
        for (const auto& e : p.entries) out.push_back(e.fileName);
    });
    return out;
}

std::vector<std::string> FakePlayer::titles() {
    std::vector<std::string> out;
    with([&](FakePlayer& p) {
        for (const auto& e : p.entries) out.push_back(e.title);
    });
    return out;
}

std::vector<Message> FakePlayer::takeLog() {
    std::lock_guard guard(logLock_);
    return std::exchange(log_, {});
}

std::vector<Message> FakePlayer::takeLog(platform::UINT onlyMessage, bool editor) {
    std::vector<Message> result;
    for (const Message& m : takeLog()) {
        if (m.message == onlyMessage && m.editor == editor) result.push_back(m);
    }
    return result;
}

void FakePlayer::record(bool editor, platform::UINT message, platform::WPARAM w, platform::LPARAM l) {
    std::lock_guard guard(logLock_);
    log_.push_back({editor, message, w, l});
}

platform::LRESULT FakePlayer::mainProc(platform::HWND window, platform::UINT message, platform::WPARAM w,
                                       platform::LPARAM l) {
    FakePlayer& p = self(window);
    p.record(false, message, w, l);
    if (message == platform::WM_COMMAND) return p.command(w);
    if (message == platform::WM_USER) return p.query(w, l);
    return 0;
}

platform::LRESULT FakePlayer::editorProc(platform::HWND window, platform::UINT message, platform::WPARAM w,
                                         platform::LPARAM l) {
    FakePlayer& p = self(window);
    p.record(true, message, w, l);
    return message == platform::WM_USER ? p.editorQuery(w, l) : 0;
}

platform::LRESULT FakePlayer::editorQuery(platform::WPARAM w, platform::LPARAM l) {
    switch (w) {
    case ipc::kEditorDelete:
        if (valid(l)) entries.erase(entries.begin() + l), changed = true;
        return 0;
    case ipc::kEditorSwap: {
        const long a = l & 0xFFFF, b = (l >> 16) & 0xFFFF;
        if (valid(a) && valid(b)) std::swap(entries[a], entries[b]), changed = true;
        return 0;
    }
    case ipc::kEditorIsChanged: return changed ? 1 : 0;
    case ipc::kEditorClearChanged: changed = false; return 0;
    default: return 0;
    }
}

platform::LRESULT FakePlayer::command(platform::WPARAM id) {
    const int n = static_cast<int>(entries.size());
    if (id == ipc::kCmdNext && n > 0) position = (position + 1) % n;
    if (id == ipc::kCmdPrevious && n > 0) position = (position + n - 1) % n;
    if (id == ipc::kCmdPlay) playState = 1;
    if (id == ipc::kCmdPause && playState != 0) playState = playState == 1 ? 3 : 1;
    if (id == ipc::kCmdStop) playState = 0;
    return 0;
}

platform::LRESULT FakePlayer::query(platform::WPARAM w, platform::LPARAM op) {
    const auto arg = static_cast<long>(static_cast<platform::LPARAM>(w));
    switch (op) {
    case ipc::kEnqueueFile: {
        const auto* record = reinterpret_cast<const ipc::EnqueueRecord*>(w);
        if (refuseEnqueue.count(++enqueueMessages) != 0) return 0;
        if (record->fileName == nullptr || *record->fileName == '\0') return 0;
        entries.push_back({record->fileName, record->title ? record->title : ""});
        changed = true;
        return 1;
    }
    case ipc::kClearPlaylist: entries.clear(); changed = true; return 0;
    case ipc::kIsPlaying: return playState;
    case ipc::kGetOutputTime: return arg == 1 ? lengthSeconds : positionMs;
    case ipc::kSetPlaylistPos: position = static_cast<int>(arg); return 0;
    case ipc::kSetVolume:
        if (w == ipc::kAskVolume) return volume;
        volume = static_cast<int>(arg);
        return 0;
    case ipc::kGetListLength: return static_cast<platform::LRESULT>(entries.size());
    case ipc::kGetListPos: return position;
    case ipc::kGetInfo: return bitrate;
    case ipc::kGetPlaylistFile:
        return valid(arg) ? reinterpret_cast<platform::LRESULT>(entries[arg].fileName.c_str()) : 0;
    case ipc::kGetPlaylistTitle:
        return valid(arg) ? reinterpret_cast<platform::LRESULT>(entries[arg].title.c_str()) : 0;
    case ipc::kGetShuffle: return shuffle;
    case ipc::kGetRepeat: return repeat;
    case ipc::kSetShuffle: shuffle = arg != 0; return 0;
    case ipc::kSetRepeat: repeat = arg != 0; return 0;
    case ipc::kGetWindow: return arg == 1 ? reinterpret_cast<platform::LRESULT>(editorWindow_) : 0;
    case ipc::kGetExtendedFileInfo: {
        auto* record = reinterpret_cast<ipc::ExtendedFileInfo*>(w);
        const std::string text = tags[record->fileName][record->field];
        std::strncpy(record->result, text.c_str(), record->resultSize - 1);
        record->result[record->resultSize - 1] = '\0';
        return 1;
    }
    default: return 0;
    }
}

}  // namespace lyrebox::test
