// The documents of one open index whose folded words start with a given
// single letter, kept once read.
//
// A search typed letter by letter asks for a one-letter prefix at the start
// of every word, and such a prefix stands for a large part of the index: at
// a million files, reading its postings again each time is most of the
// search. A few of these sets (a bit per document each) are kept, the most
// recently used first; they belong to one open index and go with it, so
// nothing read from an older index is used. Safe on any thread; a set is
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
    static constexpr std::size_t kKept = 32;  // own and folder sets of 16 letters: 4 MiB at a million files

    // The set kept under key, or the one read(), which is then kept.
    std::shared_ptr<const DocSet> get(const std::wstring& key, const std::function<DocSet()>& read);

private:
    std::mutex mutex_;
    std::list<std::pair<std::wstring, std::shared_ptr<const DocSet>>> kept_;
};

}  // namespace lyrebox
