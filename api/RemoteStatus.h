// The remote's view of the player: what "status.json", "playlist.json" and the
// event stream carry, how it is gathered in one round trip to the player, and
// the JSON writers (pure functions, exact bytes, tested as such).
#pragma once

#include "api/PlayerGateway.h"
#include "api/StatusDocuments.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lyrebox {

class PlaylistRevision;
class TrackListCache;

struct RemoteStatus {
    ConsoleStatus console;
    PlayerGateway::PlayState state = PlayerGateway::PlayState::Stopped;
    int index = 0;            // play-list position
    int length = 0;           // play-list entries
    int elapsedMs = 0;
    std::uint64_t revision = 0;  // of the play list
};

// One batch: the console's questions (as consolestatus.xml asks them), the
// play state, position, length and the play-list revision.
RemoteStatus readRemoteStatus(PlayerGateway& gateway, PlaylistRevision& revision);

// One batch: the revision, the position and every entry's title and file name
// (the entries read by tracks, or kept there).
struct RemotePlaylist {
    std::uint64_t revision = 0;
    int playing = 0;
    std::vector<PlaylistEntry> entries;
};
RemotePlaylist readRemotePlaylist(PlayerGateway& gateway, PlaylistRevision& revision, TrackListCache& tracks);

const char* playStateName(PlayerGateway::PlayState state);

std::string writeStatusJson(const RemoteStatus& status);
std::string writePlaylistJson(const RemotePlaylist& playlist);
// The "playlist" event's data: {"revision":R,"length":N}.
std::string writePlaylistEventJson(std::uint64_t revision, int length);

// Whether a new sample differs from the last one sent in anything but the
// steady progress of playback; sinceSentMs is the time between the two
// samples. A jump of the position (a seek) counts as a change.
bool statusChanged(const RemoteStatus& sent, const RemoteStatus& now, std::int64_t sinceSentMs);

}  // namespace lyrebox
