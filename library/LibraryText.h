// The records and text helpers every library service shares: the listed
// entry, the playable extensions, names, extensions, percent-encoding and the
// path rule as pure functions. All of them are safe on any thread.
#pragma once

#include "platform/DirectorySearch.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lyrebox {

// One file or directory found by a listing or a search.
struct FileEntry {
    std::string path;
    std::uint32_t attributes = 0;
    std::uint64_t lastWriteTime = 0;  // 100-ns intervals since 1601-01-01 UTC
    std::uint64_t size = 0;
};

inline bool isDirectory(std::uint32_t attributes) {
    return (attributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// "mp3", "wav", "ogg", "flac", "mp4", "m4a", "wma"; filled once, read-only.
const std::set<std::string>& playableExtensions();

// The text after the last "/", the whole text when there is none.
std::string baseName(const std::string& path);
// The text after the last ".", the whole text when there is none, ASCII-lower-cased.
std::string fileExtension(std::string_view name);
// Letters and digits stay; every other byte becomes "%" and two lower-case hex digits.
std::string percentEncode(std::string_view text);
// The same bytes appended to out, with no string of their own; with
// lowerCase, ASCII capitals are lowered first (a file's type).
void appendPercentEncoded(std::string& out, std::string_view text, bool lowerCase = false);

// Directories (".." included) and regular files with a playable extension;
// never ".". A FIFO, socket or device is not listable whatever its name, and
// a symbolic link to a file is listable only when its final target's name has
// a playable extension too (a link "a.mp3" to "notes.txt" is not).
bool isListable(const platform::FindRecord& item);

// Path with every trailing "/" removed; a path of slashes only becomes "/".
std::string stripTrailingSlashes(const std::string& path);
// directory + "/" + name, without doubling the slash of the root.
std::string joinPath(const std::string& directory, const std::string& name);
// The same, appended to directory in place (a buffer kept between calls).
void appendPathName(std::string& directory, std::string_view name);

inline constexpr std::string_view kHttpPrefix = "http://";
inline constexpr std::string_view kSearchPrefix = "search://";
inline constexpr std::string_view kSearchDirsPrefix = "searchf://";

// The path rule. URLs and search pseudo-paths pass; a file-system path passes
// when it lies in (or is) one of the shared directories, compared byte for byte
// by whole components, and has no "." or ".." component and no NUL byte, so
// no spelling of a path can climb out of a shared directory.
bool isPathUnderSharedDirs(const std::string& path, const std::vector<std::string>& sharedDirs);

// A file name made fit for a quoted header parameter: '"' and '\' escaped
// with '\', control bytes dropped.
std::string quotedHeaderText(std::string_view name);

}  // namespace lyrebox
