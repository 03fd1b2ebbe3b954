// The library's search and indexing side: the indexer thread and the searcher,
// both on the index beside the module.
#include "library/MediaLibrary.h"

#include "config/Settings.h"
#include "library/Indexer.h"
#include "library/LibrarySearcher.h"

namespace lyrebox {

// Created with the library and destroyed with it: the searcher first, then the
// indexer, whose destructor waits for a running pass.
class LibraryIndex {
public:
    LibraryIndex(const std::vector<std::string>& dirs, std::string indexPath)
        : indexer(playableExtensions(), dirs, std::move(indexPath)), searcher(indexer.indexPath()) {}

    Indexer indexer;
    LibrarySearcher searcher;
};

MediaLibrary::MediaLibrary(Settings& settings) : MediaLibrary(settings, defaultIndexPath()) {}

MediaLibrary::MediaLibrary(Settings& settings, std::string indexPath) : dirs_(&settings.sharedDirs()) {
    playableExtensions();
    index_ = std::make_unique<LibraryIndex>(*settings.sharedDirs().snapshot(), std::move(indexPath));
}

MediaLibrary::~MediaLibrary() = default;

void MediaLibrary::setSharedDirs(SharedDirList& list) {
    dirs_.store(&list, std::memory_order_release);
    index_->indexer.setDirs(*list.snapshot());
}

void MediaLibrary::search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly) {
    if (query.empty()) {
        return;
    }
    index_->searcher.search(query, results, dirsOnly);
}

bool MediaLibrary::startIndexer() {
    Indexer& indexer = index_->indexer;
    if (indexer.isRunning() || !indexer.start()) {
        return false;
    }
    indexer.waitStarted();
    return true;
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
