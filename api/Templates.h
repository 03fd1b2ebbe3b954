// Template markers of the web application's pages and scripts: "<<" KEY ">>"
// replaced by per-request values. Pure functions; any thread may call them.
#pragma once

#include <map>
#include <random>
#include <string>
#include <string_view>

namespace lyrebox {

using MarkerTable = std::map<std::string, std::string, std::less<>>;

inline constexpr std::string_view kProductVersion = "3.0.2";
inline constexpr std::size_t kPlaylistIdLength = 10;

// Replaces each "<<" key ">>" by the table's value for key (empty text for an
// unknown key). Text a value inserts is never scanned again; a "<<" without a
// later ">>" stays as it is.
std::string substituteMarkers(std::string text, const MarkerTable& markers);

// A play-list id for a new page instance: ten letters from "a" to "y", drawn
// until one is found that `served` does not hold. The caller holds the lock
// that guards `served`.
std::string newPlaylistId(std::mt19937& generator, const std::map<std::string, bool>& served);

// This thread's generator, seeded once per thread.
std::mt19937& threadGenerator();

}  // namespace lyrebox
