// The touch remote's names: "events", "status.json", "playlist.json",
// "browse.json" and "cover". All of them only read the player and the
// library; none changes anything.
//
// RemoteState is what they share (the play-list revision and the event hub);
// the router owns one and destroys it before the gateway.
#pragma once

#include "api/EventHub.h"
#include "api/PlaylistRevision.h"
#include "api/SharedAsk.h"
#include "api/TrackListCache.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lyrebox {

class RequestRouter;
class PlayerGateway;

struct RemoteState {
    explicit RemoteState(PlayerGateway& gateway) : events(gateway, revision) {}
    PlaylistRevision revision;
    // The revision that playlist.xml's served ids belong to; guarded by the
    // router's playlistLock.
    std::uint64_t servedIdsRevision = 1;
    // The entries last read for playlist.xml and playlist.json.
    TrackListCache tracks;
    // The play list's length, playing index and revision for playlist.xml,
    // one round trip to the player shared by requests that wait together.
    struct PlaylistState {
        int length = 0;
        int playing = 0;
        std::uint64_t revision = 0;
    };
    SharedAsk<PlaylistState> playlistState;
    // The last playlist.xml written with entries, and what it was written
    // from; guarded by the router's playlistLock. The bytes are never
    // changed once written: answers send them from this buffer after the
    // lock is released, and a new document replaces the pointer.
    struct {
        TrackListCache::Tracks tracks;
        int playing = 0;
        bool dirty = false;
        std::shared_ptr<const std::string> text;
    } playlistDocument;
    EventHub events;
};

// The names this file registers, each read-only.
inline constexpr std::array<std::string_view, 5> kRemoteReadOnlyNames = {
    "events", "status.json", "playlist.json", "browse.json", "cover"};

// Enters the names in the router's handler table, and makes the commands that
// change the player wake the event sampler after they have answered.
void registerRemoteHandlers(RequestRouter& router);

}  // namespace lyrebox
