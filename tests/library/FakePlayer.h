// A player stand-in for library tests: two windows owned by the test thread
// (main window and play-list editor) that keep a play list in memory and
// record what they were asked to do. Single thread: the test thread both owns
// the windows and sends to them.
#pragma once

#include "platform/Window.h"
#include "plugin/PlayerIpc.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace lyrebox::test {

class FakePlayer {
public:
    FakePlayer() {
        main_ = platform::createWindow(&mainProc, this);
        editor_ = platform::createWindow(&editorProc, this);
    }
    ~FakePlayer() {
        platform::destroyWindow(editor_);
        platform::destroyWindow(main_);
    }
    FakePlayer(const FakePlayer&) = delete;
    FakePlayer& operator=(const FakePlayer&) = delete;

    platform::HWND window() const { return main_; }

    std::vector<std::pair<std::string, std::string>> list;  // (file name, title)
    std::set<int> refuseEnqueue;  // the nth enqueue message (counted from 1) is refused
    int enqueueMessages = 0;
    int position = 0;
    std::vector<std::string> commands;  // "play", "stop", "clear"

    std::vector<std::string> fileNames() const {
        std::vector<std::string> out;
        for (const auto& e : list) out.push_back(e.first);
        return out;
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (const auto& e : list) out.push_back(e.second);
        return out;
    }
    void fill(int count) {
        for (int i = 0; i < count; ++i) list.emplace_back("old" + std::to_string(i), "Old " + std::to_string(i));
    }

private:
    static platform::LRESULT mainProc(platform::HWND window, platform::UINT message, platform::WPARAM w,
                                      platform::LPARAM l) {
        auto& self = *static_cast<FakePlayer*>(platform::windowUserData(window));
        if (message == platform::WM_COMMAND) {
            if (w == ipc::kCmdPlay) self.commands.push_back("play");
            if (w == ipc::kCmdStop) self.commands.push_back("stop");
            return 0;
        }
        if (message != platform::WM_USER) return 0;
        switch (l) {
            case ipc::kGetWindow:
                return reinterpret_cast<platform::LRESULT>(self.editor_);
            case ipc::kEnqueueFile: {
                const auto* record = reinterpret_cast<const ipc::EnqueueRecord*>(w);
                if (self.refuseEnqueue.count(++self.enqueueMessages) != 0) return 0;
                self.list.emplace_back(record->fileName, record->title);
                return 1;
            }
            case ipc::kClearPlaylist:
                self.list.clear();
                self.commands.push_back("clear");
                return 0;
            case ipc::kGetListLength:
                return static_cast<platform::LRESULT>(self.list.size());
            case ipc::kGetListPos:
                return self.position;
            case ipc::kSetPlaylistPos:
                self.position = static_cast<int>(static_cast<platform::LPARAM>(w));
                return 0;
            default:
                return 0;
        }
    }
    static platform::LRESULT editorProc(platform::HWND window, platform::UINT message, platform::WPARAM w,
                                        platform::LPARAM l) {
        auto& self = *static_cast<FakePlayer*>(platform::windowUserData(window));
        if (message == platform::WM_USER && w == ipc::kEditorSwap) {
            const auto a = static_cast<std::size_t>(l & 0xFFFF);
            const auto b = static_cast<std::size_t>((l >> 16) & 0xFFFF);
            if (a < self.list.size() && b < self.list.size()) std::swap(self.list[a], self.list[b]);
        }
        return 0;
    }

    platform::HWND main_ = nullptr;
    platform::HWND editor_ = nullptr;
};

}  // namespace lyrebox::test
