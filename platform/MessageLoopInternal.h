// Internal: the per-thread state behind MessageLoop and the window registry's
// view of it. Not part of the platform's public interface.
#pragma once

#include "platform/Types.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace platform::detail {

// Completion of one sendMessage from another thread.
struct CallState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    LRESULT result = 0;
    int notifyFd = -1;  // the sender's loop wake descriptor, when it pumps while waiting

    void complete(LRESULT value);
};

struct QueuedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::shared_ptr<CallState> call;  // null for posted messages
};

class LoopState {
public:
    LoopState();
    ~LoopState();
    LoopState(const LoopState&) = delete;
    LoopState& operator=(const LoopState&) = delete;

    int wakeFd() const { return wakeFd_; }
    void wake() const;
    // Blocks until the wake descriptor is signalled, then clears it.
    void waitForWake() const;
    void drainWake() const;

    // False once the owning thread has ended; the message is then not queued.
    bool enqueue(QueuedMessage message);
    // Runs every queued sent message (posted ones stay queued).
    void dispatchSent();
    // Runs every queued message.
    void dispatchAll();
    // Fails every queued message and refuses new ones (the thread is ending).
    void close();

private:
    void dispatch(QueuedMessage& message);

    int wakeFd_;
    std::mutex mutex_;
    std::deque<QueuedMessage> queue_;  // guarded by mutex_
    bool closed_ = false;              // guarded by mutex_
};

// The calling thread's loop state, or null when it has none yet.
LoopState* currentLoopState();
// The calling thread's loop state, created on first use.
std::shared_ptr<LoopState> ensureLoopState();

// Window registry hooks used by the dispatcher.
bool lookupWindowProc(HWND window, WindowProc& proc);

}  // namespace platform::detail
