#include "library/MediaLibrary.h"

#include "platform/ListingCache.h"

namespace lyrebox {

SharedDirList::Snapshot MediaLibrary::sharedDirs() const {
    return dirs_.load(std::memory_order_acquire)->snapshot();
}

bool MediaLibrary::isAllowedPath(const std::string& path) const {
    return isPathUnderSharedDirs(path, *sharedDirs());
}

std::vector<FileEntry> MediaLibrary::listDirectory(const std::string& path) const {
    const std::string copy = stripTrailingSlashes(path);
    std::vector<FileEntry> entries;
    if (copy.empty()) return entries;
    auto items = listings_->list(copy);
    entries.reserve(items.size());
    for (auto& item : items) {
        if (!isListable(item)) continue;
        entries.push_back(FileEntry{joinPath(copy, item.name), item.attributes, item.lastWriteTime, item.size});
    }
    return entries;
}

void MediaLibrary::keepSharedResults(std::vector<FileEntry>& results) const {
    const auto dirs = sharedDirs();
    std::erase_if(results, [&](const FileEntry& entry) { return !isPathUnderSharedDirs(entry.path, *dirs); });
}

platform::FindRecord MediaLibrary::lookupFile(const std::string& path) const {
    if (!isAllowedPath(path)) return {};
    if (path.starts_with(kHttpPrefix) || path.starts_with(kSearchPrefix) || path.starts_with(kSearchDirsPrefix)) {
        return {};
    }
    auto item = platform::lookupPath(path);
    if (!item) return {};
    // A FIFO or device with a music name is found here; download refuses to
    // open it (500) without waiting on it.
    platform::FindRecord byName = *item;
    byName.special = false;
    if (!isListable(byName)) return {};
    return std::move(*item);
}

}  // namespace lyrebox
