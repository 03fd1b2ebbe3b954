// Where each folder's contents lie in an index: the walk writes a folder's
// whole subtree as one run of documents, so "inside folder F" is a range of
// document numbers. The folded half of a search matches a word in a folder
// above an item through these ranges, so a pass indexes each folder's words
// once (with the folder) instead of with every item below it.
//
// A pass writes the ranges into its index's directory (kFolderRangesFile)
// once the index is closed; a searcher reads them when it opens that index.
// An index written before the ranges were kept has no such file, and holds
// the folder words with every item instead (marked with kFolderWordMark).
// Immutable once made; safe on any thread.
#pragma once

#include "library/FoldedSearch.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lyrebox {

inline constexpr const char* kFolderRangesFile = "folder-ranges";

// The documents below folder document doc are those numbered first to end - 1.
struct FolderRange {
    std::int32_t doc;
    std::int32_t first;
    std::int32_t end;
    bool operator==(const FolderRange&) const = default;
};

class FolderRanges {
public:
    // ranges in any order; each folder at most once.
    explicit FolderRanges(std::vector<FolderRange> ranges);

    // Writes the ranges into the file at path; false when it could not be written whole.
    bool write(const std::string& path) const;
    // The ranges of the file at path for an index of maxDoc documents;
    // nothing when the file is missing, or damaged (a range out of order or
    // outside the index).
    static std::optional<FolderRanges> read(const std::string& path, std::int32_t maxDoc);

    // The documents below the folders in folders (other members are
    // ignored), of those numbered below bound: a set of that size.
    DocSet below(const DocSet& folders, std::int32_t bound) const;

    const std::vector<FolderRange>& ranges() const { return ranges_; }

private:
    std::vector<FolderRange> ranges_;  // by folder document
};

}  // namespace lyrebox
