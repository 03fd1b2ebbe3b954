#include "platform/Thread.h"

namespace platform {

Thread::Thread(std::size_t stackSize) : stackSize_(stackSize) {}

Thread::~Thread() { thread_.join(); }

bool Thread::start() {
    if (!thread_.ended().isSet()) return false;
    return thread_.start([this] { body(); }, stackSize_);
}

bool Thread::waitStarted() {
    waitAny({&started_, &thread_.ended()});
    return started_.isSet();
}

void Thread::join() {
    if (thread_.isCurrent() || !thread_.joinable()) return;
    if (!thread_.ended().isSet()) thread_.ended().waitPumping();
    thread_.join();
}

void Thread::body() {
    // Nothing may escape into the system thread (or the host).
    try {
        if (!prepare()) return;
        running_ = true;
        stopped_.reset();
        started_.set();
        run();
    } catch (...) {
    }
    running_ = false;
    started_.reset();
    stopped_.set();
}

}  // namespace platform
