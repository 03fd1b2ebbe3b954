// Keeps the library index current by itself: watches every folder below the
// shared directories with inotify and starts an indexing pass a quiet while
// after the last change; starts one at once when asked (the shares changed,
// or there is no index yet). A pass that is running when a pass is due is
// followed by exactly one more, never two at once. When the system's limit of
// watches is reached, a full pass every few minutes stands in for the
// folders that could not be watched.
//
// Owned by the media library beside its indexer. enable(), setRoots() and
// requestPass() may be called from any thread; the watching and the starting
// of passes happen on the auto indexer's own thread, which runs only while it
// is enabled. The index directory's own changes are never counted.
#pragma once

#include "library/Indexer.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lyrebox {

struct AutoIndexTiming {
    // A pass starts this long after the last change seen...
    std::chrono::milliseconds quiet{3000};
    // ...but no later than this after the first change not yet indexed.
    std::chrono::milliseconds longestWait{30000};
    // Full passes when not every folder could be watched.
    std::chrono::milliseconds fullPassEvery{600000};
    // Folders watched at most before it counts as the system's watch limit
    // (tests set a small one; the system's own limit applies as well).
    std::size_t watchLimit = std::numeric_limits<std::size_t>::max();
};

class AutoIndexer {
public:
    AutoIndexer(Indexer& indexer, std::string indexPath);
    ~AutoIndexer();
    AutoIndexer(const AutoIndexer&) = delete;
    AutoIndexer& operator=(const AutoIndexer&) = delete;

    // Starts or stops watching and passing by itself.
    void enable(bool on, AutoIndexTiming timing = {});
    bool enabled() const { return enabled_.load(); }
    // The shared entries to watch (the walk of a pass uses its own copy).
    void setRoots(std::vector<std::string> roots);
    // A pass as soon as no pass runs (when enabled).
    void requestPass();
    // A pass was started by someone else: an asked-for pass is covered by it
    // (changes seen later still get theirs).
    void passStarted();

    // Passes this object has started; folders watched; whether the watch
    // limit stopped it from watching them all.
    std::uint64_t passesStarted() const { return passesStarted_.load(); }
    std::size_t watchedFolders() const { return watched_.load(); }
    bool watchLimitReached() const { return limitReached_.load(); }
    // A pass is due or waiting for a running one to end.
    bool passPending() const;

private:
    class Watcher;
    void run(AutoIndexTiming timing);
    void wake() const;
    void stopThread();

    Indexer& indexer_;
    const std::string indexPath_;
    int wakeFd_ = -1;  // an eventfd that interrupts the thread's wait

    mutable std::mutex mutex_;  // guards the fields below it
    std::vector<std::string> roots_;
    bool rootsChanged_ = true;
    bool passWanted_ = false;  // a pass as soon as possible
    bool stop_ = false;
    std::optional<std::chrono::steady_clock::time_point> due_;
    std::optional<std::chrono::steady_clock::time_point> firstChange_;

    std::thread thread_;  // only while enabled; started and joined under enableMutex_
    std::mutex enableMutex_;
    std::atomic<bool> enabled_{false};
    std::atomic<std::uint64_t> passesStarted_{0};
    std::atomic<std::size_t> watched_{0};
    std::atomic<bool> limitReached_{false};
};

}  // namespace lyrebox
