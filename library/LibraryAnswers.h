// What the library answers to the questions behind "library.js", "download"
// and "stream", as values; turning them into HTTP answers is the api's work.
#pragma once

#include "library/FileHandle.h"
#include "library/LibraryText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lyrebox {

// One listing: the shares (isRoot), a directory level, or search results.
// path is the one asked for when it passed the path rule, otherwise empty
// (which lists the shares).
struct LibraryListing {
    std::string path;
    std::vector<FileEntry> entries;
    bool isRoot = false;
};

// A shared file opened for download, or why there is none.
struct DownloadFile {
    enum class Failure {
        None,
        NotFound,    // outside the shares, not listable, or absent
        Unreadable,  // found, but it cannot be opened or is not a regular file
    };
    Failure failure = Failure::None;
    FileHandle file;  // open, non-blocking, when failure is None
    std::uint64_t size = 0;
    std::string name;  // the file's own name, without its directory
};

}  // namespace lyrebox
