// Limits of the player's saved state.
#pragma once

#include <chrono>
#include <cstddef>

namespace lyrebox::state {

// The host's play list holds at most this many entries; a saved list is read
// up to the same bound.
inline constexpr std::size_t kMaxEntries = 100000;
// A state file larger than this is not read (100,000 entries of long paths
// and titles stay well below it).
inline constexpr std::size_t kMaxFileBytes = 256u * 1024 * 1024;
// A change is saved this long after it, so a burst of edits is one write.
inline constexpr auto kSaveDelay = std::chrono::milliseconds(1500);

}  // namespace lyrebox::state
