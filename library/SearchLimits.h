// Limits and names of the library index and its search.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lyrebox {

// The writer indexes at most this many terms of one field.
inline constexpr std::int32_t kIndexMaxFieldLength = 261;
// The writer's memory for documents before it flushes a segment, and how
// many segments it gathers before merging them (a pass optimizes once at the end).
inline constexpr double kIndexRamBufferMB = 48.0;
inline constexpr std::int32_t kIndexMergeFactor = 40;
// One search appends at most this many results.
inline constexpr std::size_t kMaxSearchResults = 500;
// Hits fetched per round when directories only are wanted; grows by 4x.
inline constexpr std::int32_t kFirstHitWindow = 500;

// Deeper bracket nesting is refused before parsing: the query parser recurses
// once per level, and connection threads have small stacks.
inline constexpr int kMaxQueryNesting = 32;

// Inside the index directory: two generations and the link to the complete one.
inline constexpr const char* kIndexGenerationA = "a";
inline constexpr const char* kIndexGenerationB = "b";
inline constexpr const char* kIndexCurrentLink = "current";
inline constexpr const char* kIndexPassLock = "pass.lock";

}  // namespace lyrebox
