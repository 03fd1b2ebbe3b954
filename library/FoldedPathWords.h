// The folded words of an entry, for the index's folded field: the words of
// its own indexed name, each once. The words of the folders above it are the
// folders' own, found through the index's folder ranges (FolderRanges.h).
#pragma once

#include "library/IndexWalk.h"

#include <string_view>

namespace lyrebox {

// A file's name is cut before its last "."; a directory keeps its whole name.
std::string_view indexedName(std::string_view name, std::uint32_t attributes);

// Sets the folded words of entry (foldedText, foldedEnds).
void setFoldedWords(FoundEntry& entry);

}  // namespace lyrebox
