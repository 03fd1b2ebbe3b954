// A small stand-in for the player: two windows (main and play-list editor)
// answering the player's messages from a little model and recording every
// message received.
//
// By default the windows live on a loop thread of their own and tests change
// the model through with(), which runs there, so the model is only ever
// touched on that thread. A FakePlayer made with OnThisThread owns its
// windows on the creating thread, which then both sends to them and reads
// the model directly.
#pragma once

#include "platform/Types.h"
#include "platform/player/PlayerIpc.h"
#include "tests/support/LoopThread.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
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
    bool operator==(const FakeEntry&) const = default;
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
    std::set<int> refuseEnqueue;  // the nth enqueue message (counted from 1) is refused
    int enqueueMessages = 0;

    enum Thread { OwnThread, OnThisThread };
    explicit FakePlayer(Thread where = OwnThread);
    ~FakePlayer();
    FakePlayer(const FakePlayer&) = delete;
    FakePlayer& operator=(const FakePlayer&) = delete;

    platform::HWND mainWindow() const { return mainWindow_; }
    std::thread::id threadId() const { return thread_ ? thread_->id() : std::this_thread::get_id(); }

    // Runs fn on the windows' thread with the model.
    void with(const std::function<void(FakePlayer&)>& fn);
    void setEntries(std::vector<FakeEntry> list, int current = 0);
    int currentPosition();
    // Adds count entries "old0", "old1", ... titled "Old 0", ...
    void fill(int count);
    std::vector<std::string> fileNames();
    std::vector<std::string> titles();

    std::vector<Message> takeLog();
    std::vector<Message> takeLog(platform::UINT onlyMessage, bool editor);

private:
    static platform::LRESULT mainProc(platform::HWND window, platform::UINT message, platform::WPARAM w,
                                      platform::LPARAM l);
    static platform::LRESULT editorProc(platform::HWND window, platform::UINT message, platform::WPARAM w,
                                        platform::LPARAM l);
    void record(bool editor, platform::UINT message, platform::WPARAM w, platform::LPARAM l);
    bool valid(long index) const { return index >= 0 && index < static_cast<long>(entries.size()); }
    platform::LRESULT command(platform::WPARAM id);
    platform::LRESULT query(platform::WPARAM w, platform::LPARAM op);
    platform::LRESULT editorQuery(platform::WPARAM w, platform::LPARAM l);

    std::unique_ptr<LoopThread> thread_;
    platform::HWND mainWindow_ = nullptr;
    platform::HWND editorWindow_ = nullptr;
    std::mutex logLock_;
    std::vector<Message> log_;  // guarded by logLock_
};

}  // namespace lyrebox::test
