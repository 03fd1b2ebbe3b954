// Limits and timings of the remote's names (events, the JSON documents, cover
// art), in one place.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace lyrebox::remote {

// The sampler asks the player at most this often while somebody listens.
inline constexpr std::chrono::milliseconds kSamplePeriod{250};
// A command through this server asks for a sample at once; a burst of
// commands is coalesced into at most one extra sample per this gap.
inline constexpr std::chrono::milliseconds kMinKickGap{20};
// A comment line on every stream this often keeps proxies from closing it.
inline constexpr std::chrono::seconds kKeepAlivePeriod{15};
// The client's reconnection delay, sent as "retry:".
inline constexpr int kRetryMs = 2000;
// A position further than this from where steady playback would be counts
// as a seek and is sent as a change.
inline constexpr std::int64_t kSeekToleranceMs = 1500;

// The most bytes of one picture (embedded or a folder file) that are used.
inline constexpr std::size_t kMaxCoverBytes = 8 * 1024 * 1024;
// How long a browser may keep a library file's cover without asking again.
inline constexpr int kCoverMaxAgeSeconds = 3600;

}  // namespace lyrebox::remote
