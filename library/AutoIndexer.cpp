#include "library/AutoIndexer.h"

#include "library/LibraryText.h"
#include "platform/DirectoryEntries.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unordered_map>

namespace lyrebox {

namespace {

using Clock = std::chrono::steady_clock;

// What a change to a share's names or file sizes looks like.
constexpr std::uint32_t kWatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                                         IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// While a pass is due but another runs, how often to look again.
constexpr std::chrono::milliseconds kRetryWhileRunning{100};

bool isDirectoryPath(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

// One inotify instance with a watch on every folder below the roots. Used on
// the auto indexer's thread only.
class AutoIndexer::Watcher {
public:
    Watcher(const std::vector<std::string>& roots, const std::string& indexPath, std::size_t limit)
        : indexPath_(indexPath), limit_(limit) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0) {
            limitReached_ = true;  // no watching at all: the periodic pass covers it
            return;
        }
        for (const auto& root : roots) {
            const std::string path = stripTrailingSlashes(root);
            if (!path.empty() && isDirectoryPath(path)) addTree(path);
        }
    }
    ~Watcher() {
        if (fd_ >= 0) ::close(fd_);
    }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    int fd() const { return fd_; }
    std::size_t watched() const { return paths_.size(); }
    bool limitReached() const { return limitReached_; }

    // Reads what is waiting; true when something below the roots changed.
    bool readEvents() {
        bool changed = false;
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) return changed;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                changed = handle(*event) || changed;
            }
        }
    }

private:
    bool ignored(const std::string& path) const {
        return path == indexPath_ || path.starts_with(indexPath_ + "/");
    }

    bool handle(const inotify_event& event) {
        if ((event.mask & IN_Q_OVERFLOW) != 0) return true;  // events were lost: index anyway
        const auto found = paths_.find(event.wd);
        if ((event.mask & IN_IGNORED) != 0) {
            if (found != paths_.end()) paths_.erase(found);
            return false;
        }
        if (found == paths_.end()) return false;
        const std::string path = event.len > 0 ? joinPath(found->second, event.name) : found->second;
        if (ignored(path)) return false;
        if ((event.mask & IN_ISDIR) != 0 && (event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
            addTree(path);  // a new folder: watch it and what it already holds
        }
        return true;
    }

    void addTree(const std::string& path) {
        if (ignored(path) || limitReached_) return;
        if (paths_.size() >= limit_) {
            limitReached_ = true;
            return;
        }
        const int wd = ::inotify_add_watch(fd_, path.c_str(), kWatchedEvents);
        if (wd < 0) {
            if (errno == ENOSPC || errno == ENOMEM) limitReached_ = true;
            return;
        }
        if (!paths_.emplace(wd, path).second) return;  // already watched (a link back up the tree)
        std::vector<std::string> subdirectories;
        {
            platform::DirectoryEntries directory(path.c_str(), listing_);
            if (!directory.valid()) return;
            while (const auto item = directory.next()) {
                const std::string_view name = item->name;
                if (name == "." || name == "..") continue;
                if (item->type == DT_DIR) {
                    subdirectories.push_back(joinPath(path, item->name));
                } else if (item->type == DT_LNK || item->type == DT_UNKNOWN) {
                    std::string itemPath = joinPath(path, item->name);
                    if (isDirectoryPath(itemPath)) subdirectories.push_back(std::move(itemPath));
                }
            }
        }
        for (const auto& subdirectory : subdirectories) addTree(subdirectory);
    }

    std::string indexPath_;
    std::size_t limit_;
    int fd_ = -1;
    bool limitReached_ = false;
    std::unordered_map<int, std::string> paths_;
    // Lent to each folder's listing in turn: a folder is read whole before
    // the folders below it are watched.
    std::vector<char> listing_ = std::vector<char>(platform::DirectoryEntries::kBufferBytes);
};

AutoIndexer::AutoIndexer(Indexer& indexer, std::string indexPath)
    : indexer_(indexer), indexPath_(stripTrailingSlashes(std::move(indexPath))) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

AutoIndexer::~AutoIndexer() {
    stopThread();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void AutoIndexer::wake() const {
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
    }
}

void AutoIndexer::stopThread() {
    std::lock_guard<std::mutex> enableLock(enableMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake();
    if (thread_.joinable()) thread_.join();
    enabled_.store(false);
    // Nothing asked for while on is left to start when turned on again.
    std::lock_guard<std::mutex> lock(mutex_);
    passWanted_ = false;
    due_.reset();
    firstChange_.reset();
}

void AutoIndexer::enable(bool on, AutoIndexTiming timing) {
    if (!on) {
        stopThread();
        return;
    }
    std::lock_guard<std::mutex> enableLock(enableMutex_);
    if (thread_.joinable() || wakeFd_ < 0) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = false;
        rootsChanged_ = true;
    }
    try {
        thread_ = std::thread([this, timing] { run(timing); });
        enabled_.store(true);
    } catch (const std::system_error&) {
        // No thread: the index stays as the user's Reindex leaves it.
    }
}

void AutoIndexer::setRoots(std::vector<std::string> roots) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        roots_ = std::move(roots);
        rootsChanged_ = true;
    }
    wake();
}

void AutoIndexer::requestPass() {
    if (!enabled_.load()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        passWanted_ = true;
    }
    wake();
}

void AutoIndexer::passStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    passWanted_ = false;
}

bool AutoIndexer::passPending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return passWanted_ || due_.has_value();
}

void AutoIndexer::run(AutoIndexTiming timing) {
    try {
        std::unique_ptr<Watcher> watcher;
        auto nextFullPass = Clock::now() + timing.fullPassEvery;
        for (;;) {
            std::vector<std::string> roots;
            bool rebuild = false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stop_) return;
                if (rootsChanged_) {
                    roots = roots_;
                    rootsChanged_ = false;
                    rebuild = true;
                }
            }
            if (rebuild) {
                watcher = std::make_unique<Watcher>(roots, indexPath_, timing.watchLimit);
                watched_.store(watcher->watched());
                limitReached_.store(watcher->limitReached());
                nextFullPass = Clock::now() + timing.fullPassEvery;
            }

            // Start the pass that is due, unless one runs: then look again soon.
            const auto now = Clock::now();
            std::optional<Clock::time_point> wakeAt;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (limitReached_.load() && now >= nextFullPass) {
                    passWanted_ = true;
                    nextFullPass = now + timing.fullPassEvery;
                }
                const bool due = passWanted_ || (due_ && now >= *due_);
                if (due && !indexer_.isRunning()) {
                    if (indexer_.startPass()) passesStarted_.fetch_add(1);
                    passWanted_ = false;
                    due_.reset();
                    firstChange_.reset();
                } else if (due) {
                    wakeAt = now + kRetryWhileRunning;
                }
                if (!wakeAt && due_) wakeAt = *due_;
            }
            if (limitReached_.load() && (!wakeAt || nextFullPass < *wakeAt)) wakeAt = nextFullPass;

            int timeout = -1;
            if (wakeAt) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*wakeAt - Clock::now());
                timeout = static_cast<int>(std::clamp<std::int64_t>(left.count() + 1, 0, 60000));
            }
            pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {watcher ? watcher->fd() : -1, POLLIN, 0}};
            const int ready = ::poll(fds, 2, timeout);
            if (ready < 0 && errno != EINTR) return;
            if ((fds[0].revents & POLLIN) != 0) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto got = ::read(wakeFd_, &count, sizeof count);
            }
            if (watcher && (fds[1].revents & POLLIN) != 0 && watcher->readEvents()) {
                watched_.store(watcher->watched());
                limitReached_.store(watcher->limitReached());
                const auto changedAt = Clock::now();
                std::lock_guard<std::mutex> lock(mutex_);
                if (!firstChange_) firstChange_ = changedAt;
                due_ = std::min(changedAt + timing.quiet, *firstChange_ + timing.longestWait);
            }
        }
    } catch (...) {
        // Out of memory while watching: nothing may leave the thread; the
        // index stays as the last pass left it.
    }
}

}  // namespace lyrebox
