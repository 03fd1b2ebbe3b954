#include "platform/SystemThread.h"

#include <pthread.h>

namespace platform {

namespace {
void* threadEntry(void* arg) {
    auto* self = static_cast<SystemThread*>(arg);
    self->runBody();
    return nullptr;
}
}  // namespace

SystemThread::~SystemThread() { join(); }

void SystemThread::runBody() {
    try {
        body_();
    } catch (...) {
        // No exception may end the process from a thread body.
    }
    ended_.set();
}

bool SystemThread::start(std::function<void()> body, std::size_t stackSize) {
    join();
    body_ = std::move(body);
    ended_.reset();
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    if (stackSize) pthread_attr_setstacksize(&attr, stackSize);
    int rc = pthread_create(&thread_, &attr, threadEntry, this);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        ended_.set();
        return false;
    }
    started_ = true;
    return true;
}

void SystemThread::join() {
    if (!started_) return;
    if (pthread_equal(thread_, pthread_self())) return;  // a body never joins itself
    pthread_join(thread_, nullptr);
    started_ = false;
}

bool SystemThread::joinable() const { return started_; }

bool SystemThread::isCurrent() const { return started_ && pthread_equal(thread_, pthread_self()); }

}  // namespace platform
