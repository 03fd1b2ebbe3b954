// A thread that runs a platform message loop and owns windows, as the
// player's window thread does. Tests hand it work (run waits, post does not)
// and drive windows and dialogs from their own thread; the fakes of the
// player live on one.
#pragma once

#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "platform/Types.h"
#include "platform/Window.h"

#include <functional>
#include <thread>

namespace lyrebox::test {

class LoopThread {
public:
    LoopThread();
    ~LoopThread() { stop(); }
    LoopThread(const LoopThread&) = delete;
    LoopThread& operator=(const LoopThread&) = delete;

    // Runs fn on the loop thread and waits for it.
    void run(const std::function<void()>& fn);
    // Queues fn (a modal dialog, say) and returns at once.
    void post(std::function<void()> fn);
    // Ends the loop and joins the thread; later calls do nothing.
    void stop();

    // A window of the thread's own, for work that needs an owner window.
    platform::HWND window() const { return runner_; }
    std::thread::id id() const { return thread_.get_id(); }

private:
    static platform::LRESULT runnerProc(platform::HWND, platform::UINT message, platform::WPARAM wParam,
                                        platform::LPARAM lParam);

    platform::HWND runner_ = nullptr;
    std::thread thread_;
};

}  // namespace lyrebox::test
