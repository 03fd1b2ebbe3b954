// Library-to-player additions: a library path, search or URL expanded into
// playable items, each added to the player's play list with a title of its own.
#include "api/PlayerGateway.h"

#include "http/HttpRequest.h"
#include "library/MediaLibrary.h"
#include "platform/player/PlaylistLimits.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace lyrebox {

namespace {

// The caller's own record for the item it named; the file name for a local
// file found below it; for a download URL of another server, the decoded
// name of its "path=" parameter.
PlaylistEntry entryFor(const std::string& item, const PlaylistEntry& caller) {
    if (item == caller.fileName) return caller;
    if (!item.starts_with(kHttpPrefix)) return PlaylistEntry{item, baseName(item), 0};
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
    const bool complete = library_.expandPath(entry.fileName, items);  // before the lock: disks, network
    return enqueueItems(entry, items) && complete;
}

bool PlayerGateway::insertExpanded(const PlaylistEntry& entry, int index) {
    std::vector<std::string> items;
    const bool complete = library_.expandPath(entry.fileName, items);
    return insertItems(entry, items, index) && complete;
}

std::size_t PlayerGateway::playlistRoom() {
    const int length = playlistLength();
    const auto used = static_cast<std::size_t>(std::max(length, 0));
    return used >= limits::kMaxPlaylistEntries ? 0 : limits::kMaxPlaylistEntries - used;
}

bool PlayerGateway::enqueueItems(const PlaylistEntry& entry, const std::vector<std::string>& items) {
    std::lock_guard guard(lock_);
    bool ok = true;
    // One round trip to the player's thread for the whole list, not one per item.
    runBatch([&] {
        const std::size_t room = playlistRoom();
        ok = items.size() <= room;
        const std::size_t count = std::min(items.size(), room);
        for (std::size_t i = 0; i < count; ++i) {
            if (!enqueueFile(entryFor(items[i], entry))) {
                ok = false;
                return;
            }
        }
    });
    return ok;
}

bool PlayerGateway::insertItems(const PlaylistEntry& entry, const std::vector<std::string>& items, int index) {
    std::lock_guard guard(lock_);
    bool result = true;
    runBatch([&] {
        const std::size_t room = playlistRoom();
        const std::size_t count = std::min(items.size(), room);
        for (std::size_t i = 0; i < count; ++i) {
            result = enqueueFile(entryFor(items[i], entry));
            if (result) moveItem(playlistLength() - 1, index++);
        }
        if (items.size() > room) result = false;
    });
    return result;
}

}  // namespace lyrebox
