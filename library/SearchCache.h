// The answers of the last few searches of one open index: a listing asked
// for again (a reload, a letter typed and taken back, the same query from two
// windows) is answered without searching.
//
// One cache belongs to one open searcher and goes with it: a new pass is
// opened with a new, empty cache, so nothing read from an older index is ever
// served. Safe on any thread.
#pragma once

#include "library/LibraryText.h"

#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <vector>
#include <string>

namespace lyrebox {

// One search's answer: the items in order, how many items match in all, and
// whether items were left out (cut at the 500-item limit).
struct SearchResult {
    std::vector<FileEntry> items;
    std::size_t total = 0;
    bool cut = false;
};

class SearchCache {
public:
    // Answers kept, the latest used first.
    static constexpr std::size_t kAnswers = 8;

    std::optional<SearchResult> answer(const std::string& query, bool dirsOnly);
    void keepAnswer(const std::string& query, bool dirsOnly, const SearchResult& result);

private:
    struct Answer {
        std::string query;
        bool dirsOnly = false;
        SearchResult result;
    };
    std::mutex mutex_;
    std::list<Answer> answers_;
};

}  // namespace lyrebox
