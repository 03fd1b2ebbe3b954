#include "tests/support/LoopThread.h"

#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "platform/Window.h"

#include <memory>

namespace lyrebox::test {

namespace {
constexpr platform::UINT kRun = platform::WM_USER + 7001;
constexpr platform::UINT kPost = platform::WM_USER + 7002;
constexpr platform::UINT kQuit = platform::WM_USER + 7003;
}  // namespace

LoopThread::LoopThread() {
    platform::Event ready;
    thread_ = std::thread([this, &ready] {
        auto& loop = platform::MessageLoop::current();
        runner_ = platform::createWindow(&LoopThread::runnerProc);
        ready.set();
        loop.run();
        platform::destroyWindow(runner_);
    });
    ready.wait();
}

void LoopThread::run(const std::function<void()>& fn) {
    platform::sendMessage(runner_, kRun, reinterpret_cast<platform::WPARAM>(&fn), 0);
}

void LoopThread::post(std::function<void()> fn) {
    auto owned = std::make_unique<std::function<void()>>(std::move(fn));
    if (platform::postMessage(runner_, kPost, reinterpret_cast<platform::WPARAM>(owned.get()), 0)) owned.release();
}

void LoopThread::stop() {
    if (!thread_.joinable()) return;
    platform::postMessage(runner_, kQuit, 0, 0);
    thread_.join();
}

platform::LRESULT LoopThread::runnerProc(platform::HWND, platform::UINT message, platform::WPARAM wParam,
                                         platform::LPARAM) {
    using Fn = std::function<void()>;
    if (message == kRun) (*reinterpret_cast<const Fn*>(wParam))();
    if (message == kPost) std::unique_ptr<Fn>(reinterpret_cast<Fn*>(wParam))->operator()();
    if (message == kQuit) platform::MessageLoop::current().quit();
    return 0;
}

}  // namespace lyrebox::test
