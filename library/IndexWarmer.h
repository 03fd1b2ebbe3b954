// Opens the current index and reads its one-letter prefix sets on a thread
// of its own, once at start and again each time it is asked, so that neither
// the first search nor the pass that published the index pays for it.
//
// Thread contract: request() from any thread; the destructor stops a warm-up
// under way at the next letter and joins. The searcher outlives this object.
#pragma once

#include "library/LibrarySearcher.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace lyrebox {

class IndexWarmer {
public:
    explicit IndexWarmer(LibrarySearcher& searcher);
    ~IndexWarmer();
    IndexWarmer(const IndexWarmer&) = delete;
    IndexWarmer& operator=(const IndexWarmer&) = delete;

    // Warms the current index once more (a newer one may have been published);
    // nothing once finish() was called.
    void request();
    // Stops a warm-up under way at the next letter and joins the thread, so
    // that whatever it did with CLucene happens before what the caller does
    // next (closing the indexer and the searcher). The destructor calls it.
    void finish();

private:
    void run();

    LibrarySearcher& searcher_;
    std::mutex mutex_;  // guards pending_ and quit_
    std::condition_variable wake_;
    bool pending_ = true;  // the index there is at start
    bool quit_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;  // last: started once the rest is ready
};

}  // namespace lyrebox
