// A thread that runs a message loop and owns windows, as the player's window
// thread does; tests hand it work and drive dialogs from their own thread.
#pragma once

#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "platform/Window.h"

#include <functional>
#include <memory>
#include <thread>

namespace lyrebox::test {

class WindowThread {
public:
    WindowThread() {
        thread_ = std::thread([this] {
            auto& loop = platform::MessageLoop::current();
            window_ = platform::createWindow(&WindowThread::proc);
            ready_.set();
            loop.run();
            platform::destroyWindow(window_);
        });
        ready_.wait();
    }
    ~WindowThread() {
        platform::sendMessage(window_, kQuit, 0, 0);
        thread_.join();
    }
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    platform::HWND window() const { return window_; }

    // Runs fn on the thread and waits for it.
    void run(std::function<void()> fn) { platform::sendMessage(window_, kRun, 0, reinterpret_cast<platform::LPARAM>(&fn)); }
    // Queues fn (a modal dialog, say) and returns at once.
    void post(std::function<void()> fn) {
        auto owned = std::make_unique<std::function<void()>>(std::move(fn));
        if (platform::postMessage(window_, kPost, 0, reinterpret_cast<platform::LPARAM>(owned.get()))) owned.release();
    }

private:
    static constexpr platform::UINT kRun = platform::WM_USER + 1;
    static constexpr platform::UINT kPost = platform::WM_USER + 2;
    static constexpr platform::UINT kQuit = platform::WM_USER + 3;

    static platform::LRESULT proc(platform::HWND, platform::UINT message, platform::WPARAM, platform::LPARAM lParam) {
        if (message == kRun) (*reinterpret_cast<std::function<void()>*>(lParam))();
        if (message == kPost) std::unique_ptr<std::function<void()>>(reinterpret_cast<std::function<void()>*>(lParam))->operator()();
        if (message == kQuit) platform::MessageLoop::current().quit();
        return 0;
    }

    std::thread thread_;
    platform::HWND window_ = nullptr;
    platform::Event ready_;
};

}  // namespace lyrebox::test
