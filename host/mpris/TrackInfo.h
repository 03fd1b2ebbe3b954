// What the desktop is told about the player: its transport state and the
// current entry's metadata, read from the player on its window thread and
// compared between changes so only what changed is announced.
#pragma once

#include <cstdint>
#include <string>

namespace lyrebox {

class Player;

struct PlayerView {
    std::string status;      // "Playing", "Paused", "Stopped"
    std::string loop;        // "None" or "Playlist"
    bool shuffle = false;
    double volume = 0;       // 0.0 .. 1.0
    bool hasTrack = false;
    bool canGoNext = false, canGoPrevious = false;
    // Metadata of the current entry (empty without one).
    std::string trackId;     // a D-Bus object path
    std::string title, artist, album, url, artUrl;
    std::int64_t lengthUs = 0;

    bool sameMetadata(const PlayerView& other) const;
};

// Reads the view; the window thread only.
PlayerView viewPlayer(Player& player);

// The D-Bus object path naming play-list entry index.
std::string trackIdFor(int index);

// A picture of the album beside a local track (cover.jpg, folder.jpg, ... in
// its folder) as a file:// URI; empty when there is none or for a stream.
std::string folderCoverUri(const std::string& location);

// file:// URI of a local path (percent-encoded), or a stream URL as it is.
std::string locationUri(const std::string& location);

}  // namespace lyrebox
