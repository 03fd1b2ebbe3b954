// The library's search and indexing side: the indexer thread and the searcher,
// both on the index beside the module.
#include "library/MediaLibrary.h"

#include <algorithm>

#include "config/Settings.h"
#include "library/AutoIndexer.h"
#include "library/IndexWarmer.h"
#include "library/Indexer.h"
#include "library/LibrarySearcher.h"
#include "platform/ListingCache.h"

namespace lyrebox {

// Created with the library and destroyed with it in the reverse order: the
// auto indexer first, so that it starts no pass meanwhile; then the indexer,
// whose destructor stops a running pass and joins its thread; the warmer,
// which the indexer's thread may call; the searcher last, so that closing the index it keeps open follows every use of CLucene
// by the indexer thread (they share CLucene's directory objects).
class LibraryIndex {
public:
    LibraryIndex(const std::vector<std::string>& dirs, const std::string& indexPath)
        : searcher(indexPath),
          warmer(searcher),
          indexer(playableExtensions(), dirs, indexPath),
          automatic(indexer, indexer.indexPath()),
          dirs(dirs) {
        automatic.setRoots(dirs);
        // Each new index is opened, and its one-letter prefix sets read,
        // after its pass and before the first search needs them.
        indexer.setPublishedHook([this](const std::atomic<bool>&) { warmer.request(); });
    }
    // The warmer's thread ends first: the indexer and the searcher then close
    // CLucene objects it may have used, on this thread, after it.
    ~LibraryIndex() { warmer.finish(); }
    LibraryIndex(const LibraryIndex&) = delete;
    LibraryIndex& operator=(const LibraryIndex&) = delete;

    LibrarySearcher searcher;
    IndexWarmer warmer;  // finished first, destroyed after the indexer, whose pass may still ask it
    Indexer indexer;
    AutoIndexer automatic;
    std::vector<std::string> dirs;  // the indexer's list, to see when it changes (window thread)
};

MediaLibrary::MediaLibrary(Settings& settings, RemoteFetch remoteFetch)
    : MediaLibrary(settings, defaultIndexPath(), std::move(remoteFetch)) {}

MediaLibrary::MediaLibrary(Settings& settings, std::string indexPath, RemoteFetch remoteFetch)
    : dirs_(&settings.sharedDirs()),
      remoteFetch_(std::move(remoteFetch)),
      listings_(std::make_unique<platform::ListingCache>()) {
    playableExtensions();
    index_ = std::make_unique<LibraryIndex>(*settings.sharedDirs().snapshot(), indexPath);
}

MediaLibrary::~MediaLibrary() = default;

void MediaLibrary::setSharedDirs(SharedDirList& list) {
    dirs_.store(&list, std::memory_order_release);
    std::vector<std::string> dirs = *list.snapshot();
    index_->indexer.setDirs(dirs);
    if (dirs != index_->dirs) {
        index_->dirs = dirs;
        index_->automatic.setRoots(std::move(dirs));
        index_->automatic.requestPass();  // only heard when automatic indexing is on
    }
}

void MediaLibrary::search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly) {
    if (query.empty()) {
        return;
    }
    index_->searcher.search(query, results, dirsOnly);
    keepSharedResults(results);
}

SearchResult MediaLibrary::searchWithTotal(const std::string& query, bool dirsOnly) {
    if (query.empty()) {
        return {};
    }
    SearchResult result = index_->searcher.find(query, dirsOnly);
    // Items of folders no longer shared are neither shown nor counted.
    const std::size_t found = result.items.size();
    keepSharedResults(result.items);
    result.total -= std::min(result.total, found - result.items.size());
    return result;
}

bool MediaLibrary::startIndexer() {
    if (!index_->indexer.startPass()) {
        return false;
    }
    index_->automatic.passStarted();  // what was asked for so far is covered
    return true;
}

IndexerState MediaLibrary::indexerState() const {
    return index_->indexer.state();
}

void MediaLibrary::setAutoIndex(bool on) {
    setAutoIndex(on, AutoIndexTiming{});
}

void MediaLibrary::setAutoIndex(bool on, const AutoIndexTiming& timing) {
    AutoIndexer& automatic = index_->automatic;
    if (on == automatic.enabled()) {
        return;
    }
    automatic.enable(on, timing);
    // Shares but no index yet: build one now rather than waiting for a change.
    if (on && !index_->dirs.empty() && !index_->indexer.state().hasIndex) {
        automatic.requestPass();
    }
}

bool MediaLibrary::autoIndexEnabled() const {
    return index_->automatic.enabled();
}

std::uint64_t MediaLibrary::autoPassesStarted() const {
    return index_->automatic.passesStarted();
}

std::size_t MediaLibrary::autoWatchedFolders() const {
    return index_->automatic.watchedFolders();
}

bool MediaLibrary::autoPassPending() const {
    return index_->automatic.passPending();
}

bool MediaLibrary::isIndexing() const {
    return index_->indexer.isRunning();
}

const std::string& MediaLibrary::indexPath() const {
    return index_->indexer.indexPath();
}

void MediaLibrary::waitIndexerIdle() const {
    index_->indexer.stoppedEvent().wait();
}

}  // namespace lyrebox
