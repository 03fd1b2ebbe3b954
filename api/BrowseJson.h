// "browse.json": the library listing of library.js as plain JSON for the
// remote, with display names, exact paths, breadcrumbs and, for searches, the
// hit count and whether the list was cut.
//
// The writer is a pure function over gathered entries; browseJson() gathers
// them (path rule, listing or search, order) on the calling connection thread.
#pragma once

#include "http/HttpParse.h"
#include "library/LibraryText.h"

#include <cstddef>
#include <string>
#include <vector>

namespace lyrebox {

class MediaLibrary;

// What the index and the last search say beside the results. Gathered in one
// place (librarySearchFacts) so richer searcher accessors can be used there.
struct SearchFacts {
    std::size_t total = 0;  // hits found
    bool cut = false;       // the results stop at the result limit
    bool indexing = false;  // a pass is running
    bool indexMissing = false;  // no complete index exists
};

struct BrowseListing {
    std::string path;  // as answered: "" for the root listing
    bool isRoot = false;
    bool isSearch = false;
    bool dirsOnly = false;
    std::string query;  // of a search
    std::string sharedDir;  // the shared directory the path lies in (not for searches)
    std::vector<FileEntry> entries;
    SearchFacts facts;
};

std::string writeBrowseJson(const BrowseListing& listing);

// Gathers and writes the answer for the request parameters "path",
// "sortby" and "sortdir".
std::string browseJson(MediaLibrary& library, const ParamMap& params);

// Fills facts.indexing and facts.indexMissing.
void fillIndexState(MediaLibrary& library, SearchFacts& facts);

// Runs a search and fills facts.total and facts.cut (and the index state).
SearchFacts librarySearchFacts(MediaLibrary& library, const std::string& query, bool dirsOnly,
                               std::vector<FileEntry>& results);

}  // namespace lyrebox
