// A thread that runs a platform message loop, for tests that need a window
// owned by another thread (the player's window thread, say).
#pragma once

#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "platform/Window.h"

#include <functional>
#include <future>
#include <thread>

namespace lyrebox::test {

class LoopThread {
public:
    LoopThread() {
        std::promise<void> ready;
        auto started = ready.get_future();
        thread_ = std::thread([this, &ready] {
            loop_ = &platform::MessageLoop::current();
            runner_ = platform::createWindow(&LoopThread::runnerProc);
            ready.set_value();
            loop_->run();
            platform::destroyWindow(runner_);
        });
        started.wait();
    }
    ~LoopThread() { stop(); }

    // Runs fn on the loop thread and waits for it.
    void run(const std::function<void()>& fn) {
        platform::sendMessage(runner_, kRun, reinterpret_cast<platform::WPARAM>(&fn), 0);
    }

    void stop() {
        if (!thread_.joinable()) return;
        platform::postMessage(runner_, kQuit, 0, 0);
        thread_.join();
    }

    std::thread::id id() const { return thread_.get_id(); }

private:
    static constexpr platform::UINT kRun = platform::WM_USER + 7001;
    static constexpr platform::UINT kQuit = platform::WM_USER + 7002;

    static platform::LRESULT runnerProc(platform::HWND, platform::UINT message, platform::WPARAM wParam,
                                        platform::LPARAM) {
        if (message == kRun) (*reinterpret_cast<const std::function<void()>*>(wParam))();
        if (message == kQuit) platform::MessageLoop::current().quit();
        return 0;
    }

    platform::MessageLoop* loop_ = nullptr;
    platform::HWND runner_ = nullptr;
    std::thread thread_;
};

}  // namespace lyrebox::test
