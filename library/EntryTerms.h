// What the writer of a pass hands to CLucene for an entry, made on whichever
// of the pass's threads has time for it (see IndexPass.cpp): the folded words
// of its own indexed name, each once (the words of the folders above it are
// the folders' own, found through the index's folder ranges, see
// FolderRanges.h), and the "name" field's terms, exactly as FilenameAnalyzer
// gives them.
//
// One EntryTerms serves one thread.
#pragma once

#include "library/IndexWalk.h"
#include "library/analysis/NameTokenStream.h"

#include <string>
#include <string_view>

namespace lyrebox {

// A file's name is cut before its last "."; a directory keeps its whole name.
std::string_view indexedName(std::string_view name, std::uint32_t attributes);

class EntryTerms {
public:
    explicit EntryTerms(bool foldedWords) : foldedWords_(foldedWords) {}
    EntryTerms(const EntryTerms&) = delete;
    EntryTerms& operator=(const EntryTerms&) = delete;

    // Sets the terms of entry (terms, termEnds, foldedTerms, termsMade).
    void operator()(FoundEntry& entry);

private:
    bool foldedWords_;
    std::wstring name_;  // the indexed name as CLucene text
    lucene::analysis::filename::NameTokenStream names_;
    lucene::analysis::Token token_;
};

}  // namespace lyrebox
