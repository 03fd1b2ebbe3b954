// The message loop of one thread: it dispatches messages sent or posted to the
// thread's windows, watches file descriptors (the terminal, the audio bus) and
// runs timers, sleeping in poll() in between.
//
// Every thread that owns windows runs one. Loops nest: a modal dialog runs
// runUntil() inside a message handler, and sent messages keep being answered
// while it runs.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace platform {

class MessageLoop {
public:
    using Callback = std::function<void()>;
    using TimerId = int;

    // The calling thread's loop, created on first use.
    static MessageLoop& current();

    // Calls onReadable on this thread whenever fd is readable (or hung up).
    void addFd(int fd, Callback onReadable);
    void removeFd(int fd);

    // Calls fn on this thread every interval until removed.
    TimerId addTimer(std::chrono::milliseconds interval, Callback fn);
    void removeTimer(TimerId id);

    // Runs until quit() is called for this nesting level.
    void run();
    // Runs until done() returns true; done() is checked after every dispatch.
    void runUntil(const std::function<bool()>& done);
    // Ends the innermost run()/runUntil().
    void quit();

    // Dispatches whatever is ready, waiting at most timeout for something to
    // arrive. Returns false once quit() has been called on the innermost level.
    bool processOnce(std::chrono::milliseconds timeout);

    ~MessageLoop();
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    struct Impl;

private:
    MessageLoop();
    std::unique_ptr<Impl> impl_;  // used only on the owning thread
};

}  // namespace platform
