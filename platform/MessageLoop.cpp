#include "platform/MessageLoop.h"

#include "platform/MessageLoopInternal.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace detail {

void CallState::complete(LRESULT value) {
    int fd;
    {
        std::lock_guard lock(mutex);
        finished = true;
        result = value;
        fd = notifyFd;
    }
    done.notify_all();
    if (fd >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(fd, &one, sizeof one);
    }
}

LoopState::LoopState() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (wakeFd_ < 0) throw std::runtime_error("eventfd failed");
}

LoopState::~LoopState() {
    close();
    ::close(wakeFd_);
}

void LoopState::wake() const {
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
}

void LoopState::drainWake() const {
    std::uint64_t value;
    [[maybe_unused]] auto n = ::read(wakeFd_, &value, sizeof value);
}

void LoopState::waitForWake() const {
    pollfd p{wakeFd_, POLLIN, 0};
    while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
    drainWake();
}

bool LoopState::enqueue(QueuedMessage message) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
        queue_.push_back(std::move(message));
    }
    wake();
    return true;
}

void LoopState::dispatch(QueuedMessage& message) {
    WindowProc proc = nullptr;
    LRESULT result = 0;
    if (lookupWindowProc(message.window, proc) && proc) {
        try {
            result = proc(message.window, message.message, message.wParam, message.lParam);
        } catch (...) {
            result = 0;  // a procedure's failure must not end the loop or strand the sender
        }
    }
    if (message.call) message.call->complete(result);
}

void LoopState::dispatchSent() {
    for (;;) {
        QueuedMessage next;
        {
            std::lock_guard lock(mutex_);
            auto it = std::find_if(queue_.begin(), queue_.end(), [](const QueuedMessage& m) { return m.call != nullptr; });
            if (it == queue_.end()) return;
            next = std::move(*it);
            queue_.erase(it);
        }
        dispatch(next);
    }
}

void LoopState::dispatchAll() {
    for (;;) {
        QueuedMessage next;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        dispatch(next);
    }
}

void LoopState::close() {
    std::deque<QueuedMessage> pending;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        pending.swap(queue_);
    }
    for (auto& m : pending)
        if (m.call) m.call->complete(0);
}

namespace {
thread_local std::shared_ptr<LoopState> tlsLoopState;
}

LoopState* currentLoopState() { return tlsLoopState.get(); }

std::shared_ptr<LoopState> ensureLoopState() {
    if (!tlsLoopState) tlsLoopState = std::make_shared<LoopState>();
    return tlsLoopState;
}

}  // namespace detail

struct MessageLoop::Impl {
    std::shared_ptr<detail::LoopState> state;
    std::map<int, Callback> fds;
    struct Timer {
        std::chrono::milliseconds interval;
        std::chrono::steady_clock::time_point due;
        Callback fn;
    };
    std::map<TimerId, Timer> timers;
    TimerId nextTimer = 1;
    std::vector<bool> quitRequested;  // one flag per nesting level of run()/runUntil()
};

MessageLoop& MessageLoop::current() {
    thread_local std::unique_ptr<MessageLoop> loop;
    if (!loop) loop.reset(new MessageLoop());
    return *loop;
}

MessageLoop::MessageLoop() : impl_(std::make_unique<Impl>()) { impl_->state = detail::ensureLoopState(); }

MessageLoop::~MessageLoop() { impl_->state->close(); }

void MessageLoop::addFd(int fd, Callback onReadable) { impl_->fds[fd] = std::move(onReadable); }

void MessageLoop::removeFd(int fd) { impl_->fds.erase(fd); }

MessageLoop::TimerId MessageLoop::addTimer(std::chrono::milliseconds interval, Callback fn) {
    TimerId id = impl_->nextTimer++;
    impl_->timers[id] = {interval, std::chrono::steady_clock::now() + interval, std::move(fn)};
    return id;
}

void MessageLoop::removeTimer(TimerId id) { impl_->timers.erase(id); }

void MessageLoop::quit() {
    if (!impl_->quitRequested.empty()) impl_->quitRequested.back() = true;
}

void MessageLoop::run() {
    impl_->quitRequested.push_back(false);
    while (processOnce(std::chrono::milliseconds::max())) {
    }
    impl_->quitRequested.pop_back();
}

void MessageLoop::runUntil(const std::function<bool()>& done) {
    impl_->quitRequested.push_back(false);
    while (!done() && processOnce(std::chrono::milliseconds::max())) {
    }
    impl_->quitRequested.pop_back();
}

bool MessageLoop::processOnce(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    auto quitting = [this] { return !impl_->quitRequested.empty() && impl_->quitRequested.back(); };
    if (quitting()) return false;

    int waitMs = timeout == std::chrono::milliseconds::max() ? -1 : static_cast<int>(timeout.count());
    auto now = Clock::now();
    for (auto& [id, t] : impl_->timers) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now).count();
        if (left < 0) left = 0;
        if (waitMs < 0 || left < waitMs) waitMs = static_cast<int>(left);
    }

    std::vector<pollfd> polled{{impl_->state->wakeFd(), POLLIN, 0}};
    for (auto& [fd, cb] : impl_->fds) polled.push_back({fd, POLLIN, 0});
    int n = ::poll(polled.data(), polled.size(), waitMs);
    if (n < 0 && errno != EINTR) return !quitting();

    if (polled[0].revents) impl_->state->drainWake();
    impl_->state->dispatchAll();

    for (std::size_t i = 1; i < polled.size() && !quitting(); ++i) {
        if (!polled[i].revents) continue;
        auto it = impl_->fds.find(polled[i].fd);
        if (it == impl_->fds.end()) continue;
        Callback cb = it->second;  // the callback may remove or replace itself
        cb();
    }

    now = Clock::now();
    std::vector<TimerId> due;
    for (auto& [id, t] : impl_->timers)
        if (t.due <= now) due.push_back(id);
    for (TimerId id : due) {
        if (quitting()) break;
        auto it = impl_->timers.find(id);
        if (it == impl_->timers.end()) continue;
        it->second.due = now + it->second.interval;
        Callback cb = it->second.fn;
        cb();
    }
    return !quitting();
}

}  // namespace platform
