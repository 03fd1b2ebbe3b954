// The CLucene document of one found entry, as a pass hands it to the index
// writer. The Document and Field objects are made once
// per pass and refilled for every entry: making fields anew costs a name
// look-up under a lock and several allocations each. The two searched fields
// are given to the writer as token streams over the terms that come made with
// the entry (see EntryTerms.h), so their text is
// neither copied into the field nor cut here.
//
// Fields, in this order: "name" (searched, not kept), "path", "attributes",
// "size" (kept, not searched), the folded words (searched, not kept; left out
// when the entry has none) and, for a directory, the "kind" marker. The path
// is kept as its bytes, as the file system gave them: nothing to convert on
// the way in or out, and names that are not UTF-8 come back exactly. One
// instance per pass, used by the pass's writing thread only.
#pragma once

#include "library/IndexWalk.h"
#include "library/analysis/WordTokenStream.h"

#include <CLucene.h>

#include <array>
#include <memory>
#include <string>

namespace lyrebox {

// The path an index keeps for a document: its bytes, or, in an index written
// before paths were kept so, the stored text read back into bytes. Empty when
// the document has none.
std::string storedPath(const lucene::document::Document& document);

class IndexDocument {
public:
    explicit IndexDocument(bool foldedWords) : foldedWords_(foldedWords) {}
    ~IndexDocument();
    IndexDocument(const IndexDocument&) = delete;
    IndexDocument& operator=(const IndexDocument&) = delete;

    // The document of entry; valid, and its streams' text too, until the next call.
    lucene::document::Document& of(const FoundEntry& entry);

private:
    // One set of fields: with or without the folded words, file or directory.
    struct Shape {
        std::unique_ptr<lucene::document::Document> document;  // owns the fields
        lucene::document::Field* path = nullptr;
        lucene::document::Field* attributes = nullptr;
        lucene::document::Field* size = nullptr;
    };
    Shape& shape(bool folded, bool directory);

    bool foldedWords_;
    std::array<Shape, 4> shapes_;
    lucene::analysis::filename::WordTokenStream nameStream_;
    lucene::analysis::filename::WordTokenStream foldedStream_;
};

}  // namespace lyrebox
