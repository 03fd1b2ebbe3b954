// Limits of the library's network work, in one place.
#pragma once

#include <chrono>
#include <cstddef>

namespace lyrebox::limits {

// Fetching another server's stream play list.
inline constexpr std::chrono::milliseconds kRemoteConnectTimeout{10'000};
inline constexpr std::chrono::milliseconds kRemoteTotalTimeout{30'000};
inline constexpr std::size_t kRemoteMaxResponseBytes = 4 * 1024 * 1024;

// Chunk size when a download cannot hand the file to the socket directly.
inline constexpr std::size_t kDownloadChunkBytes = 64 * 1024;

}  // namespace lyrebox::limits
