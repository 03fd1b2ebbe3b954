#include "platform/Window.h"

#include "platform/MessageLoopInternal.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace platform {

struct WindowObject {
    std::atomic<WindowProc> proc;
    std::atomic<void*> userData;
    std::thread::id owner;
    std::weak_ptr<detail::LoopState> loop;
};

namespace {

// Every live window. Handles are looked up here before use, so a message for
// a window destroyed meanwhile is dropped instead of touching freed memory.
struct Registry {
    std::mutex mutex;
    std::unordered_map<HWND, std::unique_ptr<WindowObject>> windows;
};

Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

namespace detail {

bool lookupWindowProc(HWND window, WindowProc& proc) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(window);
    if (it == r.windows.end()) return false;
    proc = it->second->proc.load();
    return true;
}

}  // namespace detail

HWND createWindow(WindowProc proc, void* userData) {
    auto window = std::make_unique<WindowObject>();
    window->proc = proc;
    window->userData = userData;
    window->owner = std::this_thread::get_id();
    window->loop = detail::ensureLoopState();
    HWND handle = window.get();
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.windows.emplace(handle, std::move(window));
    return handle;
}

void destroyWindow(HWND window) {
    std::unique_ptr<WindowObject> doomed;
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (auto it = r.windows.find(window); it != r.windows.end()) {
        doomed = std::move(it->second);
        r.windows.erase(it);
    }
}

bool isWindow(HWND window) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.windows.count(window) != 0;
}

namespace {

struct Target {
    WindowProc proc = nullptr;
    bool onOwnerThread = false;
    std::shared_ptr<detail::LoopState> loop;
};

bool findTarget(HWND window, Target& target) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(window);
    if (it == r.windows.end()) return false;
    target.proc = it->second->proc.load();
    target.onOwnerThread = it->second->owner == std::this_thread::get_id();
    target.loop = it->second->loop.lock();
    return true;
}

}  // namespace

LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Target target;
    if (!findTarget(window, target)) return 0;
    if (target.onOwnerThread) return target.proc ? target.proc(window, message, wParam, lParam) : 0;
    if (!target.loop) return 0;

    auto call = std::make_shared<detail::CallState>();
    detail::LoopState* mine = detail::currentLoopState();
    if (mine) call->notifyFd = mine->wakeFd();
    if (!target.loop->enqueue({window, message, wParam, lParam, call})) return 0;

    if (mine) {
        // Answer messages sent to this thread while waiting, so two threads
        // sending to each other never deadlock.
        for (;;) {
            {
                std::lock_guard lock(call->mutex);
                if (call->finished) return call->result;
            }
            mine->dispatchSent();
            {
                std::lock_guard lock(call->mutex);
                if (call->finished) return call->result;
            }
            mine->waitForWake();
        }
    }
    std::unique_lock lock(call->mutex);
    call->done.wait(lock, [&] { return call->finished; });
    return call->result;
}

bool postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Target target;
    if (!findTarget(window, target) || !target.loop) return false;
    return target.loop->enqueue({window, message, wParam, lParam, nullptr});
}

WindowProc setWindowProc(HWND window, WindowProc proc) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(window);
    if (it == r.windows.end()) return nullptr;
    return it->second->proc.exchange(proc);
}

WindowProc windowProc(HWND window) {
    WindowProc proc = nullptr;
    detail::lookupWindowProc(window, proc);
    return proc;
}

LRESULT callWindowProc(WindowProc proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

void* windowUserData(HWND window) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(window);
    return it == r.windows.end() ? nullptr : it->second->userData.load();
}

void setWindowUserData(HWND window, void* userData) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (auto it = r.windows.find(window); it != r.windows.end()) it->second->userData = userData;
}

}  // namespace platform
