// A joinable system thread that signals an event when its body has ended, so
// that "wait until X started, or the thread already ended" is one waitAny().
#pragma once

#include "platform/Event.h"

#include <cstddef>
#include <functional>
#include <pthread.h>

namespace platform {

class SystemThread {
public:
    SystemThread() = default;
    ~SystemThread();  // joins
    SystemThread(const SystemThread&) = delete;
    SystemThread& operator=(const SystemThread&) = delete;

    // Starts body on a new thread; joins an earlier, finished one first.
    // A stackSize of 0 keeps the system default. Returns false if the thread
    // could not be created.
    bool start(std::function<void()> body, std::size_t stackSize = 0);
    // Waits for the body to return; does nothing on the thread itself.
    void join();
    bool joinable() const;
    bool isCurrent() const;

    // Reset by start(), set when the body returns.
    const Event& ended() const { return ended_; }

    void runBody();  // internal: the thread entry calls it

private:
    pthread_t thread_{};
    bool started_ = false;
    Event ended_{true};
    std::function<void()> body_;
};

}  // namespace platform
