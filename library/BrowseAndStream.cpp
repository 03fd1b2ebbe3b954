// The listing of "library.js" and the items of a "stream" list.
#include "library/BrowseDocument.h"
#include "library/LibraryText.h"
#include "library/MediaLibrary.h"

namespace lyrebox {

LibraryListing MediaLibrary::browse(std::string path, int sortBy, int sortDir) {
    if (!isAllowedPath(path)) path.clear();

    LibraryListing listing;
    listing.isRoot = path.empty();
    std::vector<FileEntry>& entries = listing.entries;
    if (listing.isRoot) {
        for (const auto& dir : *sharedDirs()) {
            entries.push_back(FileEntry{dir, platform::FILE_ATTRIBUTE_DIRECTORY, 0, 0});
        }
    } else if (path.starts_with(kSearchPrefix)) {
        search(path.substr(kSearchPrefix.size()), entries, false);
    } else if (path.starts_with(kSearchDirsPrefix)) {
        search(path.substr(kSearchDirsPrefix.size()), entries, true);
    } else if (!path.starts_with(kHttpPrefix)) {
        entries = listDirectory(path);
    }
    sortEntries(entries, sortBy, sortDir);
    listing.path = std::move(path);
    return listing;
}

std::vector<std::string> MediaLibrary::streamItems(const std::string& path, std::uint32_t client) {
    std::vector<std::string> items;
    if (!path.empty() && isAllowedPath(path)) expandPath(path, items, client);
    return items;
}

}  // namespace lyrebox
