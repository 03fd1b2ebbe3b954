// A number that changes with every edit of the player's play list, read from
// the play-list editor's changed flag.
//
// The flag is one bit that whoever reads it also resets, and two readers use
// it: "playlist.xml" (which forgets its served ids on a change) and the
// remote's sampler. Both go through observe(): it turns each set flag into one
// step of the revision and resets the flag, so neither reader can swallow the
// other's change; "playlist.xml" compares revisions instead of reading the
// flag itself.
//
// Thread contract: observe() is called inside a gateway batch (on the
// player's thread when the relay exists); the revision is an atomic, so
// current() may be read from any thread. No lock is held while the player is
// asked.
#pragma once

#include <atomic>
#include <cstdint>

namespace lyrebox {

class PlayerGateway;

class PlaylistRevision {
public:
    // Asks the player's changed flag; a set flag is reset and counts as one
    // edit. Returns the revision after that.
    std::uint64_t observe(PlayerGateway& gateway);
    std::uint64_t current() const { return revision_.load(); }

private:
    std::atomic<std::uint64_t> revision_{1};
};

}  // namespace lyrebox
