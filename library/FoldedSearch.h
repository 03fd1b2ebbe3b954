// The folded half of a library search: which documents hold every plain
// word of a query among their folded path words, the last word as a prefix.
//
// Document sets are bit sets over the reader's document numbers. Functions on
// one open reader; the caller keeps it open and on one thread meanwhile.
#pragma once

#include <CLucene.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace lyrebox {

class FolderRanges;
class PrefixSets;

class DocSet {
public:
    explicit DocSet(std::int32_t size = 0) : bits_((static_cast<std::size_t>(size) + 63) / 64, 0) {}

    void add(std::int32_t doc) { bits_[static_cast<std::size_t>(doc) / 64] |= std::uint64_t{1} << (doc % 64); }
    bool has(std::int32_t doc) const {
        const auto word = static_cast<std::size_t>(doc) / 64;
        return word < bits_.size() && (bits_[word] >> (doc % 64) & 1) != 0;
    }
    // Adds first to end - 1 (within the set's size).
    void addRange(std::int32_t first, std::int32_t end);
    void intersect(const DocSet& other);
    void unite(const DocSet& other);
    void subtract(const DocSet& other);
    std::size_t count() const;
    bool empty() const;
    // The members in increasing order, at most limit of them, skipping those in skip.
    std::vector<std::int32_t> members(std::size_t limit, const DocSet* skip = nullptr) const;

private:
    std::vector<std::uint64_t> bits_;
};

// The words of a query's folded half, folded like the index's path words:
// the words every match must hold, and the words excluded with a leading "-"
// or "!" or after NOT, which no match may hold. The operators AND, OR, &&, ||
// and a leading "+" are dropped.
struct PlainWords {
    std::vector<std::wstring> required;
    std::vector<std::wstring> excluded;
};
PlainWords plainQueryWords(const std::string& query);

// Documents whose folded words (their own name's and their folders') hold
// every required word, the last one as a prefix (of a whole word or of a
// dotted word's first part: "vol" does not stand for "vol.2" but "vo" does),
// one of them at least in the document's own name, and none of the excluded
// ones. No required words: no documents.
// folders are the index's folder ranges; without them (an index from before
// they were kept) a folder's words are read from the items below it.
// With kept, the sets of a one-letter last word come from and go to kept.
DocSet foldedMatches(lucene::index::IndexReader& reader, const PlainWords& words, const FolderRanges* folders,
                     PrefixSets* kept = nullptr);
// The same, of the documents numbered below the bound only (a set of that size).
DocSet foldedMatchesBelow(lucene::index::IndexReader& reader, const PlainWords& words, std::int32_t below,
                          const FolderRanges* folders, PrefixSets* kept = nullptr);
// The first matches in index order, without those in skip: a set that holds
// every match up to some document, at least wanted of them when there are
// so many, read without going through the postings beyond it. For a listing
// that shows no count, where a short prefix would read most of the index.
// Its first round reads the postings below firstBound.
inline constexpr std::int32_t kFirstMatchesBound = 16384;
DocSet firstFoldedMatches(lucene::index::IndexReader& reader, const PlainWords& words, const FolderRanges* folders,
                          const DocSet& skip, std::size_t wanted, std::int32_t firstBound = kFirstMatchesBound);

// Reads the own-name and folder sets of the one-letter prefixes a to z and
// 0 to 9 into kept, stopping early when stop is set.
void keepOneLetterSets(lucene::index::IndexReader& reader, const FolderRanges* folders, PrefixSets& kept,
                       const std::atomic<bool>& stop);

// Looks up a term and reads a posting the way searches do, so that the parts
// of a new reader CLucene makes on first use (its term index among them) are
// made by the thread that opens the reader, before other threads share it:
// CLucene does not order their making for the threads that come after.
void primeReader(lucene::index::IndexReader& reader);

// Documents marked as directories; found tells whether the index marks them
// at all (an index from before the mark has none).
DocSet directoryDocs(lucene::index::IndexReader& reader, bool& found);

}  // namespace lyrebox
