// expandPath: a library path, search or URL flattened into playable items.
#include "library/MediaLibrary.h"

#include "platform/player/PlaylistLimits.h"

#include <algorithm>
#include <set>
#include <utility>

#include <sys/stat.h>

namespace lyrebox {

namespace {

using DirectoryId = std::pair<dev_t, ino_t>;

// Every playable file below directory, in no particular order. Symbolic links
// are followed as the file system does, but each directory is walked once, so
// a link back up the tree cannot make the walk endless. The walk keeps its own
// stack: connection threads have small stacks and a tree may be deep. False
// when items reached the expansion bound before the walk ended.
bool collectFiles(const std::string& directory, std::vector<std::string>& items) {
    std::set<DirectoryId> walked;
    std::vector<std::string> pending{directory};
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        struct stat status {};
        if (::stat(current.c_str(), &status) != 0) continue;
        if (!walked.insert(DirectoryId{status.st_dev, status.st_ino}).second) continue;
        for (auto& item : platform::listDirectoryItems(current)) {
            if (item.name == ".." || !isListable(item)) continue;
            if (isDirectory(item.attributes)) {
                pending.push_back(joinPath(current, item.name));
            } else {
                if (items.size() >= limits::kMaxExpansionEntries) return false;
                items.push_back(joinPath(current, item.name));
            }
        }
    }
    return true;
}

}  // namespace

bool MediaLibrary::expandPath(const std::string& path, std::vector<std::string>& items, std::uint32_t client) {
    if (items.size() >= limits::kMaxExpansionEntries) return false;
    if (path.starts_with(kHttpPrefix)) {
        if (path.find("/stream?") == std::string::npos) {
            items.push_back(path);
            return true;
        }
        return expandRemote(path, items, client);
    }
    const bool searchAll = path.starts_with(kSearchPrefix);
    if (searchAll || path.starts_with(kSearchDirsPrefix)) {
        std::vector<FileEntry> results;
        search(path.substr(searchAll ? kSearchPrefix.size() : kSearchDirsPrefix.size()), results, !searchAll);
        for (const auto& result : results) {
            if (!expandPath(result.path, items, client)) return false;
        }
        return true;
    }
    return expandLocal(path, items);
}

// A directory's expansion ends by sorting everything gathered so far into
// byte order, as every level of the walk would; sorting once after the whole
// walk gives the same list, because the last sort covers all earlier ones.
// A file named directly is taken whatever its name when it is a regular
// file; a link only when its final target is a playable file; a FIFO, socket
// or device never (the player would wait on it for good).
bool MediaLibrary::expandLocal(const std::string& path, std::vector<std::string>& items) {
    if (path.empty() || path.find('\0') != std::string::npos) return true;
    const std::string copy = stripTrailingSlashes(path);
    const auto item = platform::lookupPath(copy);
    if (item && !isDirectory(item->attributes)) {
        const bool linkToPlayable = item->targetName.empty() || isListable(*item);
        if (!item->special && linkToPlayable) items.push_back(copy);
        return true;
    }
    bool complete = true;
    if (item) complete = collectFiles(copy, items);
    std::sort(items.begin(), items.end());
    return complete;
}

}  // namespace lyrebox
