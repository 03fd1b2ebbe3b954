// The two XML documents a client polls: "consolestatus.xml" (volume, flags,
// the current track and its position) and "playlist.xml" (the play list, sent
// in full only to page instances that have not received its current state).
//
// The writers are pure functions; the gathering functions call the gateway
// from the calling connection thread. Building "playlist.xml" holds the
// router's playlistLock for its whole run (see registerDocuments).
#pragma once

#include "api/PlayerGateway.h"

#include <cstddef>
#include <string>
#include <vector>

namespace lyrebox {

class RequestRouter;

// Bounds on the remembered play-list ids: ids are chosen by clients, so
// neither their number nor their size may grow without limit. Forgetting an id
// only means that page gets the full list once more.
inline constexpr std::size_t kMaxServedPlaylistIds = 1024;
inline constexpr std::size_t kMaxPlaylistIdLength = 256;

struct ConsoleStatus {
    int volume = 0;
    bool shuffle = false;
    bool repeat = false;
    TrackInfo track;  // fileName: the current play-list entry's file
    double position = 0.0;
};

// Asks the player, in this order: position, its file name, the track
// information, the play-list title when the track has no title, volume,
// shuffle, repeat, position fraction.
ConsoleStatus readConsoleStatus(PlayerGateway& gateway);

std::string writeConsoleStatus(const ConsoleStatus& status);

// tracks is empty when the tracks are left out.
std::string writePlaylistDocument(int playing, bool dirty, const std::vector<PlaylistEntry>& tracks);

// Enters "consolestatus.xml" and "playlist.xml" in the router's handler table.
void registerDocuments(RequestRouter& router);

}  // namespace lyrebox
