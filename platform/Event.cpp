#include "platform/Event.h"

#include "platform/EventSync.h"
#include "platform/MessageLoopInternal.h"

#include <algorithm>
#include <unistd.h>
#include <vector>

namespace platform {
namespace detail {

std::mutex& eventMutex() {
    static std::mutex mutex;
    return mutex;
}

std::condition_variable& eventCondition() {
    static std::condition_variable condition;
    return condition;
}

namespace {
std::vector<int>& pumpers() {
    static std::vector<int> fds;
    return fds;
}
}  // namespace

void addEventPumper(int wakeFd) { pumpers().push_back(wakeFd); }

void removeEventPumper(int wakeFd) {
    auto& fds = pumpers();
    if (auto it = std::find(fds.begin(), fds.end(), wakeFd); it != fds.end()) fds.erase(it);
}

void wakeEventPumpers() {
    for (int fd : pumpers()) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(fd, &one, sizeof one);
    }
}

}  // namespace detail

Event::Event(bool initiallySet) : set_(initiallySet) {}

Event::~Event() = default;

void Event::set() {
    std::lock_guard lock(detail::eventMutex());
    if (set_) return;
    set_ = true;
    detail::eventCondition().notify_all();
    detail::wakeEventPumpers();
}

void Event::reset() {
    std::lock_guard lock(detail::eventMutex());
    set_ = false;
}

bool Event::isSet() const {
    std::lock_guard lock(detail::eventMutex());
    return set_;
}

void Event::wait() const {
    std::unique_lock lock(detail::eventMutex());
    detail::eventCondition().wait(lock, [this] { return set_; });
}

bool Event::waitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(detail::eventMutex());
    return detail::eventCondition().wait_for(lock, timeout, [this] { return set_; });
}

void Event::waitPumping() const {
    detail::LoopState* loop = detail::currentLoopState();
    if (!loop) {
        wait();
        return;
    }
    int fd = loop->wakeFd();
    {
        std::lock_guard lock(detail::eventMutex());
        if (set_) return;
        detail::addEventPumper(fd);
    }
    for (;;) {
        loop->dispatchSent();
        {
            std::lock_guard lock(detail::eventMutex());
            if (set_) {
                detail::removeEventPumper(fd);
                return;
            }
        }
        loop->waitForWake();
    }
}

int waitAny(std::initializer_list<const Event*> events, std::chrono::milliseconds timeout) {
    std::unique_lock lock(detail::eventMutex());
    int found = -1;
    auto anySet = [&] {
        int i = 0;
        for (const Event* e : events) {
            if (e->set_) {
                found = i;
                return true;
            }
            ++i;
        }
        return false;
    };
    if (timeout == std::chrono::milliseconds::max())
        detail::eventCondition().wait(lock, anySet);
    else
        detail::eventCondition().wait_for(lock, timeout, anySet);
    return found;
}

}  // namespace platform
