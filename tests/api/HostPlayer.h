// The host's real player model on a window thread of its own, with the silent
// clock engine: the player the plugin meets in the host, minus the sound.
//
// The player and its windows live on that thread; tests reach the model only
// through with(), which runs a function there.
#pragma once

#include "host/audio/ClockEngine.h"
#include "host/audio/TagCache.h"
#include "host/player/Player.h"
#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "platform/Window.h"

#include <functional>
#include <memory>
#include <thread>

namespace lyrebox::test {

class HostPlayer {
public:
    HostPlayer() {
        platform::Event ready;
        thread_ = std::thread([this, &ready] {
            auto tags = std::make_unique<TagCache>();
            auto engine = std::make_unique<ClockEngine>(*tags);
            Player::Options options;
            options.shuffleSeed = 1;
            player_ = std::make_unique<Player>(std::move(engine), std::move(tags), options);
            mainWindow_ = platform::createWindow(&Player::mainWindowProc, player_.get());
            player_->setMainWindow(mainWindow_);
            controlWindow_ = platform::createWindow(&HostPlayer::controlProc, this);
            ready.set();
            platform::MessageLoop::current().run();
            platform::destroyWindow(controlWindow_);
            platform::destroyWindow(mainWindow_);
            player_.reset();
        });
        ready.wait();
    }
    ~HostPlayer() {
        platform::postMessage(controlWindow_, kQuit, 0, 0);
        thread_.join();
    }
    HostPlayer(const HostPlayer&) = delete;
    HostPlayer& operator=(const HostPlayer&) = delete;

    platform::HWND mainWindow() const { return mainWindow_; }

    void with(const std::function<void(Player&)>& fn) {
        call_ = &fn;
        platform::sendMessage(controlWindow_, kCall, 0, 0);
    }

private:
    static constexpr platform::UINT kQuit = platform::WM_USER + 1000;
    static constexpr platform::UINT kCall = platform::WM_USER + 1001;

    static platform::LRESULT controlProc(platform::HWND window, platform::UINT message, platform::WPARAM,
                                         platform::LPARAM) {
        auto& self = *static_cast<HostPlayer*>(platform::windowUserData(window));
        if (message == kQuit) platform::MessageLoop::current().quit();
        if (message == kCall) (*self.call_)(*self.player_);
        return 0;
    }

    std::thread thread_;
    std::unique_ptr<Player> player_;
    platform::HWND mainWindow_ = nullptr;
    platform::HWND controlWindow_ = nullptr;
    const std::function<void(Player&)>* call_ = nullptr;
};

}  // namespace lyrebox::test
