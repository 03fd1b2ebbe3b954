// The play list's titles and file names, read from the player once and
// shared by the documents that ask for the whole list soon after.
//
// A thousand entries are two thousand questions to the player, and when the
// list changes every polling page asks for all of it at once. A read is
// reused while the play list's revision and length are those it was read
// at, and for at most kTrackListReuse: an edit is seen at once (it moves
// the revision), and a title a player changes without marking its list
// changed is seen within that time.
//
// Thread contract: read() is called inside a gateway batch, kept() from any
// thread; mutex_ guards the kept read and is the last lock taken (after the
// router's playlistLock and the gateway's own lock).
#pragma once

#include "api/StatusDocuments.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace lyrebox {

class PlayerGateway;

inline constexpr std::chrono::milliseconds kTrackListReuse{1000};

class TrackListCache {
public:
    using Clock = std::chrono::steady_clock;
    using Tracks = std::shared_ptr<const std::vector<PlaylistEntry>>;

    // The list's entries at revision with length entries, read now or kept.
    Tracks read(PlayerGateway& gateway, std::uint64_t revision, int length, Clock::time_point now = Clock::now());
    // The kept read when read() would reuse it, without asking the player;
    // null otherwise.
    Tracks kept(std::uint64_t revision, int length, Clock::time_point now = Clock::now());

private:
    // Under mutex_.
    bool reusable(std::uint64_t revision, int length, Clock::time_point now) const;

    std::mutex mutex_;
    Tracks tracks_;
    std::uint64_t revision_ = 0;
    int length_ = -1;
    Clock::time_point readAt_;
};

}  // namespace lyrebox
