// Answers library searches from the index that the indexer writes.
//
// Each search uses the searcher of the current index, opened by the first
// search after a pass published it and shared by every search until the next
// one (opening a searcher reads the term index and norms: tens of
// milliseconds at a million files). It parses the query on the "name" field
// with AND as the default operator and takes its hits in rank order; then come
// the items whose folded path words (folder names and the file name, accents
// and case folded) hold every plain word of the query, the last one as a
// prefix, in index order. No item twice, at most 500 in all. A search that
// finds a newer index than the shared searcher's (another generation, or the
// same directory rewritten) opens that one; the old searcher is closed when
// the last search using it ends. Each searcher has its SearchCache: the last
// few answers, given again while that searcher is current.
// Any number of searches may run at once on connection threads, beside a
// pass: the analyzer keeps its per-thread state itself, and the open and close
// run under IndexStore's lock. Every CLucene error ends the search with what
// it has appended so far.
#pragma once

#include "library/IndexStore.h"
#include "library/LibraryText.h"
#include "library/FolderRanges.h"
#include "library/PrefixSets.h"
#include "library/SearchCache.h"
#include "library/analysis/FilenameAnalyzer.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lyrebox {

class LibrarySearcher {
public:
    explicit LibrarySearcher(std::string indexPath);
    LibrarySearcher(const LibrarySearcher&) = delete;
    LibrarySearcher& operator=(const LibrarySearcher&) = delete;

    // The items a query finds, at most 500, appended to results; no count
    // of the items beyond them is made.
    void search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly);
    // The same items, with how many match in all and whether the list was cut.
    SearchResult find(const std::string& query, bool dirsOnly);
    // Opens the current index and reads the sets of the one-letter prefixes
    // a to z and 0 to 9, stopping early when stop is set: the first letter of
    // each word typed is then answered from them.
    void warm(const std::atomic<bool>& stop);

private:
    struct OpenIndex {
        std::shared_ptr<lucene::search::IndexSearcher> searcher;
        std::shared_ptr<SearchCache> cache;  // the answers of this searcher
        std::shared_ptr<PrefixSets> prefixes;  // its one-letter prefix sets
        std::shared_ptr<const FolderRanges> folders;  // none in an index from before they were kept
    };
    // The shared searcher of the current index, opened when there is none or
    // the index changed; no searcher when there is no index.
    OpenIndex currentIndex();
    // Either of the two; an answer without the count (counted false) has the
    // items only, total their number, and is never kept in the cache.
    SearchResult answer(const std::string& query, bool dirsOnly, bool counted);
    // The search on one open index; false when it ended early and its
    // answer is not to be kept. Throws on CLucene errors, with what was found
    // so far in result.
    bool collect(const OpenIndex& open, const std::string& prepared, bool dirsOnly, bool counted,
                 SearchResult& result);

    IndexStore store_;
    lucene::analysis::filename::FilenameAnalyzer analyzer_;
    std::mutex cacheMutex_;  // taken before IndexStore's open/close lock
    OpenIndex cached_;
    std::string cachedDirectory_;
};

}  // namespace lyrebox
