// expandPath: a library path, search or URL flattened into playable items.
#include "library/MediaLibrary.h"

#include <algorithm>
#include <set>
#include <utility>

#include <sys/stat.h>

namespace lyrebox {

namespace {

using DirectoryId = std::pair<dev_t, ino_t>;

// Every playable file below directory, in no particular order. Symbolic links
// are followed as the file system does, except a link back to a directory on
// the current walk, which would never end.
void collectFiles(const std::string& directory, std::vector<std::string>& items, std::set<DirectoryId>& walk) {
    struct stat status {};
    if (::stat(directory.c_str(), &status) != 0) return;
    const DirectoryId id{status.st_dev, status.st_ino};
    if (!walk.insert(id).second) return;
    std::vector<std::string> subdirectories;
    for (auto& item : platform::listDirectoryItems(directory)) {
        if (item.name == ".." || !isListable(item)) continue;
        if (isDirectory(item.attributes)) {
            subdirectories.push_back(joinPath(directory, item.name));
        } else {
            items.push_back(joinPath(directory, item.name));
        }
    }
    for (const auto& subdirectory : subdirectories) collectFiles(subdirectory, items, walk);
    walk.erase(id);
}

}  // namespace

void MediaLibrary::expandPath(const std::string& path, std::vector<std::string>& items) {
    if (hasPrefix(path, kHttpPrefix)) {
        if (path.find("/stream?") == std::string::npos) {
            items.push_back(path);
        } else {
            expandRemote(path, items);
        }
        return;
    }
    const bool searchAll = hasPrefix(path, kSearchPrefix);
    if (searchAll || hasPrefix(path, kSearchDirsPrefix)) {
        std::vector<FileEntry> results;
        search(path.substr(searchAll ? kSearchPrefix.size() : kSearchDirsPrefix.size()), results, !searchAll);
        for (const auto& result : results) expandPath(result.path, items);
        return;
    }
    expandLocal(path, items);
}

// A directory's expansion ends by sorting everything gathered so far into
// byte order, as every level of the walk would; sorting once after the whole
// walk gives the same list, because the last sort covers all earlier ones.
void MediaLibrary::expandLocal(const std::string& path, std::vector<std::string>& items) {
    if (path.empty() || path.find('\0') != std::string::npos) return;
    const std::string copy = stripTrailingSlashes(path);
    const auto item = platform::lookupPath(copy);
    if (item && !isDirectory(item->attributes)) {
        items.push_back(copy);
        return;
    }
    if (item) {
        std::set<DirectoryId> walk;
        collectFiles(copy, items, walk);
    }
    std::sort(items.begin(), items.end());
}

}  // namespace lyrebox
