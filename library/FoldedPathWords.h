// The folded words of an entry's path below its share, for the index's
// folded field: the words of its own indexed name as they are, then the words
// of the folders above that its name lacks, each marked with kFolderWordMark.
// Each word once. Entries of one directory come together, so the folders'
// words are kept for the next entry. One instance per pass, on its thread.
#pragma once

#include "library/IndexWalk.h"

#include <string>
#include <string_view>
#include <vector>

namespace lyrebox {

// A file's name is cut before its last "."; a directory keeps its whole name.
std::string_view indexedName(std::string_view name, std::uint32_t attributes);

class FoldedPathWords {
public:
    // Sets the folded words of entry (foldedText, foldedEnds).
    void of(FoundEntry& entry);

private:
    std::string parent_;
    std::vector<std::wstring> parentWords_;
    std::vector<std::wstring> words_;
};

}  // namespace lyrebox
