// Bounds of the play list that the plugin and the host player share, so that
// neither can be driven into holding an unbounded list. Header only: both
// sides include it without linking each other.
#pragma once

#include <cstddef>

namespace lyrebox::limits {

// Entries the play list holds at most; an addition past it is refused.
inline constexpr std::size_t kMaxPlaylistEntries = 100'000;
// Items one expansion (a folder, a search, another server's list, a posted
// list) yields at most; what lies beyond is not taken.
inline constexpr std::size_t kMaxExpansionEntries = 100'000;

}  // namespace lyrebox::limits
