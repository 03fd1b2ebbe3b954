// Library-to-player additions: a library path, search or URL expanded into
// playable items, each added to the player's play list with a title of its own.
#include "api/PlayerGateway.h"

#include "http/HttpRequest.h"
#include "library/MediaLibrary.h"

#include <mutex>
#include <vector>

namespace lyrebox {

namespace {

// The caller's own record for the item it named; the file name for a local
// file found below it; for a download URL of another server, the decoded
// name of its "path=" parameter.
PlaylistEntry entryFor(const std::string& item, const PlaylistEntry& caller) {
    if (item == caller.fileName) return caller;
    if (!hasPrefix(item, kHttpPrefix)) return PlaylistEntry{item, baseName(item), 0};
    std::string title;
    const auto at = item.rfind("path=");
    if (at != std::string::npos) {
        const auto start = at + 5;
        const auto end = item.find('&', start);
        title = baseName(percentDecode(item.substr(start, end == std::string::npos ? std::string::npos : end - start)));
    }
    return PlaylistEntry{item, std::move(title), 0};
}

}  // namespace

bool PlayerGateway::enqueueExpanded(const PlaylistEntry& entry) {
    std::vector<std::string> items;
    library_.expandPath(entry.fileName, items);  // before the lock: it may read disks and the network
    std::lock_guard guard(lock_);
    bool ok = true;
    // One round trip to the player's thread for the whole list, not one per item.
    runBatch([&] {
        for (const auto& item : items) {
            if (!enqueueFile(entryFor(item, entry))) {
                ok = false;
                return;
            }
        }
    });
    return ok;
}

bool PlayerGateway::insertExpanded(const PlaylistEntry& entry, int index) {
    std::vector<std::string> items;
    library_.expandPath(entry.fileName, items);
    std::lock_guard guard(lock_);
    bool result = true;
    runBatch([&] {
        for (const auto& item : items) {
            result = enqueueFile(entryFor(item, entry));
            if (result) moveItem(playlistLength() - 1, index++);
        }
    });
    return result;
}

}  // namespace lyrebox
