#include "api/PlaylistRevision.h"

#include "api/PlayerGateway.h"

namespace lyrebox {

std::uint64_t PlaylistRevision::observe(PlayerGateway& gateway) {
    if (gateway.isPlaylistChanged()) {
        gateway.clearPlaylistChanged();
        return revision_.fetch_add(1) + 1;
    }
    return revision_.load();
}

}  // namespace lyrebox
