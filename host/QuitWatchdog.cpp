#include "host/QuitWatchdog.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <system_error>

namespace lyrebox::host {

QuitWatchdog::QuitWatchdog(int signalFd, std::chrono::milliseconds readGrace, std::chrono::milliseconds quitGrace)
    : signalFd_(signalFd), readGrace_(readGrace), quitGrace_(quitGrace) {
    if (signalFd_ < 0 || ::pipe2(pipe_, O_CLOEXEC) != 0) return;
    try {
        thread_ = std::thread([this] { watch(); });
    } catch (const std::system_error&) {
        // No watchdog: the window thread's loop still takes the signals.
    }
}

QuitWatchdog::~QuitWatchdog() {
    tell(kStop);
    if (thread_.joinable()) thread_.join();
    for (int fd : pipe_) {
        if (fd >= 0) ::close(fd);
    }
}

void QuitWatchdog::quitStarted() { tell(kQuitting); }

void QuitWatchdog::tell(char news) {
    if (pipe_[1] >= 0) {
        [[maybe_unused]] const auto written = ::write(pipe_[1], &news, 1);
    }
}

char QuitWatchdog::nextNews(int timeoutMs, bool watchSignals) const {
    pollfd watched[2] = {{pipe_[0], POLLIN, 0}, {signalFd_, POLLIN, 0}};
    const int ready = ::poll(watched, watchSignals ? 2 : 1, timeoutMs);
    if (ready < 0) return kStop;  // cannot watch: leave the quit to the window thread
    if (ready == 0) return kNothing;
    if (watched[0].revents != 0) {
        char news = kStop;
        return ::read(pipe_[0], &news, 1) == 1 ? news : kStop;
    }
    return kSignal;
}

void QuitWatchdog::watch() {
    char news = nextNews(-1, true);
    if (news == kSignal) {
        // A signal is pending: the window thread reads it soon, unless it is stuck.
        news = nextNews(static_cast<int>(readGrace_.count()), false);
        if (news == kNothing) ::_exit(kForcedExitCode);
    }
    if (news != kQuitting) return;
    if (nextNews(static_cast<int>(quitGrace_.count()), false) == kNothing) ::_exit(kForcedExitCode);
}

}  // namespace lyrebox::host
