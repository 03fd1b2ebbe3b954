// Answers library searches from the index that the indexer writes.
//
// Each search opens the current index, parses the query on the "name" field
// with AND as the default operator, and appends up to 500 results; it closes
// everything before it returns, so a new index is seen by the next search.
// Any number of searches may run at once on connection threads, beside a
// pass: the analyzer keeps its per-thread state itself, and the open and close
// run under IndexStore's lock. Every CLucene error ends the search with what
// it has appended so far.
#pragma once

#include "library/IndexStore.h"
#include "library/LibraryText.h"
#include "library/analysis/FilenameAnalyzer.h"

#include <string>
#include <vector>

namespace lyrebox {

class LibrarySearcher {
public:
    explicit LibrarySearcher(std::string indexPath);
    LibrarySearcher(const LibrarySearcher&) = delete;
    LibrarySearcher& operator=(const LibrarySearcher&) = delete;

    void search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly);

private:
    IndexStore store_;
    lucene::analysis::filename::FilenameAnalyzer analyzer_;
};

}  // namespace lyrebox
