// The library's search and indexing side. Until the index lands, searches find
// nothing and there is no indexer to start.
#include "library/MediaLibrary.h"

#include "config/Settings.h"

namespace lyrebox {

class LibraryIndex {};

MediaLibrary::MediaLibrary(Settings& settings) : dirs_(&settings.sharedDirs()) {
    playableExtensions();
}

MediaLibrary::~MediaLibrary() = default;

void MediaLibrary::setSharedDirs(SharedDirList& list) {
    dirs_.store(&list, std::memory_order_release);
}

void MediaLibrary::search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly) {
    (void)query;
    (void)results;
    (void)dirsOnly;
}

bool MediaLibrary::startIndexer() {
    return false;
}

bool MediaLibrary::isIndexing() const {
    return false;
}

}  // namespace lyrebox
