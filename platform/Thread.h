// Base of the server's threads (listener, connections) and the indexer: one
// body run at a time on a system thread, with events that say whether it runs.
//
// start(), join() and waitStarted() are called by the owner (for the server:
// the window thread); the body runs on the new thread. Subclasses must call
// join() in their own destructor, before their members go away.
#pragma once

#include "platform/Event.h"
#include "platform/SystemThread.h"

#include <atomic>
#include <cstddef>

namespace platform {

class Thread {
public:
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // False when a run is still going or the thread could not be created.
    bool start();
    bool isRunning() const { return running_.load(); }
    // Set whenever the body does not run.
    const Event& stoppedEvent() const { return stopped_; }
    // Waits until the body runs or the run has already ended (a failed start
    // never hangs); true if it is running.
    bool waitStarted();
    // Waits for the current run to end. A thread that owns windows keeps
    // answering messages sent to them while it waits.
    void join();

protected:
    explicit Thread(std::size_t stackSize = 0);
    // Runs on the new thread before the started event is set; false ends the
    // run without setting it (a listener that cannot bind).
    virtual bool prepare() { return true; }
    virtual int run() = 0;

private:
    void body();

    SystemThread thread_;
    Event started_{false};
    Event stopped_{true};
    std::atomic<bool> running_{false};
    std::size_t stackSize_;
};

}  // namespace platform
