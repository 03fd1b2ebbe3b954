// Limits of the library's network work, in one place.
#pragma once

#include <chrono>
#include <cstddef>

namespace lyrebox::limits {

// Fetching another server's stream play list.
inline constexpr std::chrono::milliseconds kRemoteConnectTimeout{5'000};
inline constexpr std::chrono::milliseconds kRemoteTotalTimeout{15'000};
inline constexpr std::size_t kRemoteMaxResponseBytes = 4 * 1024 * 1024;
// Fetches that run at once for one client address; a further one is refused
// at once, so one client cannot tie up connection threads waiting on dead servers.
inline constexpr std::size_t kMaxFetchesPerAddress = 2;

// Chunk size when a download cannot hand the file to the socket directly.
inline constexpr std::size_t kDownloadChunkBytes = 64 * 1024;

}  // namespace lyrebox::limits
