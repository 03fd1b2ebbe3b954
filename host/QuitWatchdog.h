// Makes SIGINT and SIGTERM end the player even when its window thread cannot
// take them. The signals are read from a signal descriptor on the window
// thread's loop, which then quits cleanly; this watchdog only watches the
// same descriptor from a thread of its own. When a signal stays unread for
// the read grace (the window thread is stuck), or the quit that follows
// takes longer than the quit grace, the process ends at once with
// kForcedExitCode, so a stop request is never lost.
//
// Thread contract: construct, quitStarted() and destroy on the window
// thread; the watchdog's own thread only polls and may call _exit.
#pragma once

#include <chrono>
#include <thread>

namespace lyrebox::host {

class QuitWatchdog {
public:
    static constexpr int kForcedExitCode = 3;
    static constexpr std::chrono::milliseconds kReadGrace{5'000};
    static constexpr std::chrono::milliseconds kQuitGrace{30'000};

    explicit QuitWatchdog(int signalFd, std::chrono::milliseconds readGrace = kReadGrace,
                          std::chrono::milliseconds quitGrace = kQuitGrace);
    // Stops watching: the quit has finished.
    ~QuitWatchdog();
    QuitWatchdog(const QuitWatchdog&) = delete;
    QuitWatchdog& operator=(const QuitWatchdog&) = delete;

    // The window thread has read a signal and begins to quit.
    void quitStarted();

private:
    static constexpr char kNothing = 0, kSignal = 1, kQuitting = 'q', kStop = 's';
    void watch();
    void tell(char news);
    // The next byte from the window thread, kSignal when a signal is pending
    // (watched only when asked), kNothing after timeoutMs (-1: no limit).
    char nextNews(int timeoutMs, bool watchSignals) const;

    int signalFd_;
    std::chrono::milliseconds readGrace_, quitGrace_;
    int pipe_[2] = {-1, -1};  // window thread -> watchdog: kQuitting, kStop
    std::thread thread_;
};

}  // namespace lyrebox::host
