// The documents of one open index whose folded words start with a given
// single letter, kept once read.
//
// A search typed letter by letter asks for a one-letter prefix at the start
// of every word, and such a prefix stands for a large part of the index: at
// a million files, reading its postings again each time is most of the
// search. Those of a to z and 0 to 9 are read when an index is opened
// (LibrarySearcher::warm), others when first asked for; up to kKept sets (a
// bit per document each) are kept, the most recently used first. They belong
// to one open index and go with it, so nothing read from an older index is
// used. Safe on any thread; a set is
// read outside the lock, so two searches may read the same one at once.
#pragma once

#include "library/FoldedSearch.h"

#include <CLucene.h>

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace lyrebox {

class PrefixSets {
public:
    // The own-name and folder sets of 48 letters (a to z, 0 to 9 and a few
    // more): 12 MiB at a million files.
    static constexpr std::size_t kKept = 96;

    // The set kept under key, or the one read(), which is then kept.
    std::shared_ptr<const DocSet> get(const std::wstring& key, const std::function<DocSet()>& read);

private:
    std::mutex mutex_;
    std::list<std::pair<std::wstring, std::shared_ptr<const DocSet>>> kept_;
};

}  // namespace lyrebox
