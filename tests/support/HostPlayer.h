// The host's real player model on a loop thread of its own, with the silent
// clock engine: the player the plugin meets in the host, minus the sound.
// Needs lyrebox-playermodel.
//
// The player and its window live on that thread; tests reach the model only
// through with(), which runs a function there.
#pragma once

#include "host/audio/ClockEngine.h"
#include "host/audio/TagCache.h"
#include "host/player/Player.h"
#include "platform/Window.h"
#include "tests/support/LoopThread.h"

#include <functional>
#include <memory>

namespace lyrebox::test {

class HostPlayer {
public:
    HostPlayer() {
        thread_.run([this] {
            auto tags = std::make_unique<TagCache>();
            auto engine = std::make_unique<ClockEngine>(*tags);
            Player::Options options;
            options.shuffleSeed = 1;
            player_ = std::make_unique<Player>(std::move(engine), std::move(tags), options);
            mainWindow_ = platform::createWindow(&Player::mainWindowProc, player_.get());
            player_->setMainWindow(mainWindow_);
        });
    }
    ~HostPlayer() {
        thread_.run([this] {
            platform::destroyWindow(mainWindow_);
            player_.reset();
        });
    }
    HostPlayer(const HostPlayer&) = delete;
    HostPlayer& operator=(const HostPlayer&) = delete;

    platform::HWND mainWindow() const { return mainWindow_; }

    void with(const std::function<void(Player&)>& fn) {
        thread_.run([&] { fn(*player_); });
    }
    // Runs functions on the player's thread (TestServer's onPlayerThread).
    std::function<void(const std::function<void()>&)> onThread() {
        return [this](const std::function<void()>& fn) { thread_.run(fn); };
    }

private:
    LoopThread thread_;
    std::unique_ptr<Player> player_;
    platform::HWND mainWindow_ = nullptr;
};

}  // namespace lyrebox::test
