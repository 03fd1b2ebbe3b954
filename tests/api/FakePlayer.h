// A small stand-in for the player: two windows (main and play-list editor) on
// a thread of their own that runs a platform::MessageLoop, answering the
// player's messages from a little model and recording every message received.
//
// Tests change the model through with(), which runs on the window thread, so
// the model is only ever touched there.
#pragma once

#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "platform/Types.h"
#include "platform/Window.h"
#include "plugin/PlayerIpc.h"

#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lyrebox::test {

struct Message {
    bool editor;  // sent to the play-list editor window
    platform::UINT message;
    platform::WPARAM wParam;
    platform::LPARAM lParam;
    bool operator==(const Message&) const = default;
};

struct FakeEntry {
    std::string fileName, title;
};

class FakePlayer {
public:
    std::vector<FakeEntry> entries;
    int position = 0;
    int volume = 100;
    bool shuffle = false, repeat = false;
    bool changed = false;
    int playState = 0;  // as the player answers it: 1 playing, 3 paused, 0 stopped
    int lengthSeconds = 0, positionMs = 0, bitrate = 0;
    std::map<std::string, std::map<std::string, std::string>> tags;  // file -> field -> text

    FakePlayer() {
        platform::Event ready;
        thread_ = std::thread([this, &ready] {
            mainWindow_ = platform::createWindow(&FakePlayer::mainProc, this);
            editorWindow_ = platform::createWindow(&FakePlayer::editorProc, this);
            ready.set();
            platform::MessageLoop::current().run();
            platform::destroyWindow(editorWindow_);
            platform::destroyWindow(mainWindow_);
        });
        ready.wait();
    }
    ~FakePlayer() {
        platform::postMessage(mainWindow_, kQuit, 0, 0);
        thread_.join();
    }
    FakePlayer(const FakePlayer&) = delete;
    FakePlayer& operator=(const FakePlayer&) = delete;

    platform::HWND mainWindow() const { return mainWindow_; }
    std::thread::id threadId() const { return thread_.get_id(); }

    // Runs fn on the window thread with the model.
    void with(const std::function<void(FakePlayer&)>& fn) {
        call_ = &fn;
        platform::sendMessage(mainWindow_, kCall, 0, 0);
    }
    void setEntries(std::vector<FakeEntry> list, int current = 0) {
        with([&](FakePlayer& p) { p.entries = std::move(list); p.position = current; });
    }
    int currentPosition() {
        int result = 0;
        with([&](FakePlayer& p) { result = p.position; });
        return result;
    }
    std::vector<Message> takeLog() {
        std::lock_guard guard(logLock_);
        return std::exchange(log_, {});
    }
    std::vector<Message> takeLog(platform::UINT onlyMessage, bool editor) {
        std::vector<Message> result;
        for (const Message& m : takeLog()) {
            if (m.message == onlyMessage && m.editor == editor) result.push_back(m);
        }
        return result;
    }

private:
    static constexpr platform::UINT kQuit = platform::WM_USER + 1000;
    static constexpr platform::UINT kCall = platform::WM_USER + 1001;

    static FakePlayer& self(platform::HWND window) {
        return *static_cast<FakePlayer*>(platform::windowUserData(window));
    }
    void record(bool editor, platform::UINT message, platform::WPARAM w, platform::LPARAM l) {
        std::lock_guard guard(logLock_);
        log_.push_back({editor, message, w, l});
    }
    bool valid(long index) const { return index >= 0 && index < static_cast<long>(entries.size()); }

    static platform::LRESULT mainProc(platform::HWND window, platform::UINT message, platform::WPARAM w,
                                      platform::LPARAM l) {
        FakePlayer& p = self(window);
        if (message == kQuit) {
            platform::MessageLoop::current().quit();
            return 0;
        }
        if (message == kCall) {
            (*p.call_)(p);
            return 0;
        }
        p.record(false, message, w, l);
        if (message == platform::WM_COMMAND) return p.command(w);
        if (message == platform::WM_USER) return p.query(w, l);
        return 0;
    }

    static platform::LRESULT editorProc(platform::HWND window, platform::UINT message, platform::WPARAM w,
                                        platform::LPARAM l) {
        FakePlayer& p = self(window);
        p.record(true, message, w, l);
        if (message != platform::WM_USER) return 0;
        switch (w) {
        case ipc::kEditorDelete:
            if (p.valid(l)) p.entries.erase(p.entries.begin() + l), p.changed = true;
            return 0;
        case ipc::kEditorSwap: {
            const long a = l & 0xFFFF, b = (l >> 16) & 0xFFFF;
            if (p.valid(a) && p.valid(b)) std::swap(p.entries[a], p.entries[b]), p.changed = true;
            return 0;
        }
        case ipc::kEditorIsChanged: return p.changed ? 1 : 0;
        case ipc::kEditorClearChanged: p.changed = false; return 0;
        default: return 0;
        }
    }

    platform::LRESULT command(platform::WPARAM id) {
        const int n = static_cast<int>(entries.size());
        if (id == ipc::kCmdNext && n > 0) position = (position + 1) % n;
        if (id == ipc::kCmdPrevious && n > 0) position = (position + n - 1) % n;
        if (id == ipc::kCmdPlay) playState = 1;
        if (id == ipc::kCmdPause && playState != 0) playState = playState == 1 ? 3 : 1;
        if (id == ipc::kCmdStop) playState = 0;
        return 0;
    }

    platform::LRESULT query(platform::WPARAM w, platform::LPARAM op) {
        const auto arg = static_cast<long>(static_cast<platform::LPARAM>(w));
        switch (op) {
        case ipc::kEnqueueFile: {
            const auto* record = reinterpret_cast<const ipc::EnqueueRecord*>(w);
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

    std::thread thread_;
    platform::HWND mainWindow_ = nullptr;
    platform::HWND editorWindow_ = nullptr;
    const std::function<void(FakePlayer&)>* call_ = nullptr;
    std::mutex logLock_;
    std::vector<Message> log_;
};

}  // namespace lyrebox::test
