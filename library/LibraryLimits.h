// Limits of the library's network work, in one place.
#pragma once

#include <cstddef>

namespace lyrebox::limits {

// Another server's stream play list: the most of its body that is parsed; a
// longer body, whatever fetched it, is cut there to its whole lines.
inline constexpr std::size_t kRemoteMaxResponseBytes = 4 * 1024 * 1024;
// Fetches that run at once for one client address; a further one is refused
// at once, so one client cannot tie up connection threads waiting on dead servers.
inline constexpr std::size_t kMaxFetchesPerAddress = 2;

// Chunk size when a download cannot hand the file to the socket directly.
inline constexpr std::size_t kDownloadChunkBytes = 64 * 1024;

}  // namespace lyrebox::limits
