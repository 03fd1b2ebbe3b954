#include "api/TrackListCache.h"

#include "api/PlayerGateway.h"

namespace lyrebox {

TrackListCache::Tracks TrackListCache::read(PlayerGateway& gateway, std::uint64_t revision, int length,
                                            Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (reusable(revision, length, now)) return tracks_;
    auto tracks = std::make_shared<std::vector<PlaylistEntry>>();
    tracks->reserve(length > 0 ? static_cast<std::size_t>(length) : 0);
    for (int i = 0; i < length; ++i) {
        PlaylistEntry entry;
        entry.title = gateway.getTitle(i);
        entry.fileName = gateway.getFileName(i);
        tracks->push_back(std::move(entry));
    }
    tracks_ = std::move(tracks);
    revision_ = revision;
    length_ = length;
    readAt_ = now;
    return tracks_;
}

TrackListCache::Tracks TrackListCache::kept(std::uint64_t revision, int length, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    return reusable(revision, length, now) ? tracks_ : nullptr;
}

bool TrackListCache::reusable(std::uint64_t revision, int length, Clock::time_point now) const {
    return tracks_ && revision == revision_ && length == length_ && now >= readAt_ && now - readAt_ < kTrackListReuse;
}

}  // namespace lyrebox
