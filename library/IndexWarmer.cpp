#include "library/IndexWarmer.h"

namespace lyrebox {

IndexWarmer::IndexWarmer(LibrarySearcher& searcher) : searcher_(searcher), thread_([this] { run(); }) {}

IndexWarmer::~IndexWarmer() { finish(); }

void IndexWarmer::finish() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    stop_.store(true);
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void IndexWarmer::request() {
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;
        pending_ = true;
    }
    wake_.notify_one();
}

void IndexWarmer::run() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return pending_ || quit_; });
            if (quit_) return;
            pending_ = false;
        }
        searcher_.warm(stop_);  // catches what it throws
    }
}

}  // namespace lyrebox
