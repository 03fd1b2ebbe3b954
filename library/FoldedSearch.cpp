#include "library/FoldedSearch.h"

#include "library/FolderRanges.h"
#include "library/PrefixSets.h"

#include "library/analysis/FoldedText.h"
#include "library/analysis/IndexAnalyzer.h"

#include <algorithm>
#include <bit>
#include <cwchar>
#include <functional>
#include <memory>
#include <sstream>

namespace lyrebox {

namespace {

using lucene::index::IndexReader;
using lucene::index::Term;
using lucene::index::TermDocs;
using lucene::index::TermEnum;
using lucene::analysis::filename::kFoldedField;
using lucene::analysis::filename::kFolderWordMark;

// A Term is reference counted by CLucene; released by dropping the count.
struct TermRelease {
    void operator()(Term* term) const { _CLDECDELETE(term); }
};
using TermPtr = std::unique_ptr<Term, TermRelease>;

struct DocsClose {
    void operator()(TermDocs* docs) const {
        docs->close();
        _CLDELETE(docs);
    }
};
struct EnumClose {
    void operator()(TermEnum* terms) const {
        terms->close();
        _CLDELETE(terms);
    }
};

// The postings of docs below the bound into a set of that size. Postings
// come in increasing order, so reading stops at the first one past it; a
// bounded read takes small batches, since most of a list lies beyond.
void readAll(TermDocs& docs, DocSet& into, std::int32_t below, bool bounded) {
    constexpr std::int32_t kBatch = 256;
    std::int32_t numbers[kBatch];
    std::int32_t freqs[kBatch];
    const std::int32_t batch = bounded ? 32 : kBatch;
    for (;;) {
        const std::int32_t n = docs.read(numbers, freqs, batch);
        if (n <= 0) return;
        for (std::int32_t i = 0; i < n; ++i) {
            if (numbers[i] >= below) return;
            into.add(numbers[i]);
        }
    }
}

DocSet wordDocs(IndexReader& reader, const TCHAR* field, const std::wstring& word, std::int32_t below) {
    DocSet set(below);
    TermPtr term(_CLNEW Term(field, word.c_str()));
    std::unique_ptr<TermDocs, DocsClose> docs(reader.termDocs(term.get()));
    if (docs) readAll(*docs, set, below, below < reader.maxDoc());
    return set;
}

DocSet prefixDocs(IndexReader& reader, const std::wstring& prefix, std::int32_t below) {
    DocSet set(below);
    TermPtr start(_CLNEW Term(kFoldedField, prefix.c_str()));
    std::unique_ptr<TermEnum, EnumClose> terms(reader.terms(start.get()));
    std::unique_ptr<TermDocs, DocsClose> docs(reader.termDocs());
    if (!terms || !docs) return set;
    do {
        const Term* term = terms->term(false);
        if (term == nullptr || std::wcscmp(term->field(), kFoldedField) != 0 ||
            std::wcsncmp(term->text(), prefix.c_str(), prefix.size()) != 0) {
            break;
        }
        if (term->text()[prefix.size()] == L'.') {
            continue;  // the whole first part of a dotted word is not its prefix
        }
        docs->seek(terms.get());
        readAll(*docs, set, below, below < reader.maxDoc());
    } while (terms->next());
    return set;
}

bool isOperator(const std::string& token) {
    return token == "AND" || token == "OR" || token == "NOT" || token == "&&" || token == "||";
}

}  // namespace

void DocSet::addRange(std::int32_t first, std::int32_t end) {
    auto from = static_cast<std::size_t>(std::max(first, 0));
    const auto to = std::min(static_cast<std::size_t>(std::max(end, 0)), bits_.size() * 64);
    // The partial words at either end bit by bit, the whole ones between at once.
    for (; from < to && from % 64 != 0; ++from) bits_[from / 64] |= std::uint64_t{1} << (from % 64);
    for (; from + 64 <= to; from += 64) bits_[from / 64] = ~std::uint64_t{0};
    for (; from < to; ++from) bits_[from / 64] |= std::uint64_t{1} << (from % 64);
}

void DocSet::intersect(const DocSet& other) {
    for (std::size_t i = 0; i < bits_.size(); ++i) bits_[i] &= i < other.bits_.size() ? other.bits_[i] : 0;
}

void DocSet::unite(const DocSet& other) {
    if (other.bits_.size() > bits_.size()) bits_.resize(other.bits_.size(), 0);
    for (std::size_t i = 0; i < other.bits_.size(); ++i) bits_[i] |= other.bits_[i];
}

void DocSet::subtract(const DocSet& other) {
    for (std::size_t i = 0; i < bits_.size() && i < other.bits_.size(); ++i) bits_[i] &= ~other.bits_[i];
}

namespace {

// Bits set in a word, inline: without a popcount instruction in the target
// (plain x86-64), std::popcount is a library call per word.
std::size_t bitCount(std::uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<std::size_t>((x * 0x0101010101010101u) >> 56);
}

}  // namespace

std::size_t DocSet::count() const {
    std::size_t n = 0;
    for (auto word : bits_) n += bitCount(word);
    return n;
}

bool DocSet::empty() const {
    return std::all_of(bits_.begin(), bits_.end(), [](std::uint64_t word) { return word == 0; });
}

std::vector<std::int32_t> DocSet::members(std::size_t limit, const DocSet* skip) const {
    std::vector<std::int32_t> out;
    for (std::size_t i = 0; i < bits_.size() && out.size() < limit; ++i) {
        for (std::uint64_t word = bits_[i]; word != 0 && out.size() < limit; word &= word - 1) {
            const auto doc = static_cast<std::int32_t>(i * 64 + static_cast<std::size_t>(std::countr_zero(word)));
            if (skip == nullptr || !skip->has(doc)) out.push_back(doc);
        }
    }
    return out;
}

PlainWords plainQueryWords(const std::string& query) {
    std::istringstream tokens(query);
    std::string token;
    std::string required;
    std::string excluded;
    bool negate = false;
    while (tokens >> token) {
        if (token == "NOT") {
            negate = true;
            continue;
        }
        if (isOperator(token)) continue;
        if (token[0] == '-' || token[0] == '!') {
            negate = true;
            token.erase(0, 1);
        } else if (token[0] == '+') {
            token.erase(0, 1);
        }
        (negate ? excluded : required) += token + ' ';
        negate = false;
    }
    return PlainWords{lucene::analysis::filename::foldedWords(required),
                      lucene::analysis::filename::foldedWords(excluded)};
}

DocSet foldedMatches(IndexReader& reader, const PlainWords& words, const FolderRanges* folders, PrefixSets* kept) {
    return foldedMatchesBelow(reader, words, reader.maxDoc(), folders, kept);
}

DocSet firstFoldedMatches(IndexReader& reader, const PlainWords& words, const FolderRanges* folders, const DocSet& skip,
                          std::size_t wanted, std::int32_t firstBound) {
    const std::int32_t maxDoc = reader.maxDoc();
    // Each round reads the postings below a bound; the next bound is where
    // the matches found so far say enough would be, with a margin, and at
    // least twice the last (eight times when none were found), so a rare
    // word costs little more than one whole read.
    for (std::int64_t below = std::max(firstBound, 1);;) {
        const auto bound = static_cast<std::int32_t>(std::min<std::int64_t>(below, maxDoc));
        DocSet found = foldedMatchesBelow(reader, words, bound, folders);
        found.subtract(skip);
        const std::size_t count = found.count();
        if (bound >= maxDoc || count >= wanted) return found;
        const std::int64_t enough = count == 0 ? std::int64_t{bound} * 8
                                               : std::int64_t{bound} * static_cast<std::int64_t>(wanted) * 5 /
                                                     (static_cast<std::int64_t>(count) * 4);
        below = std::max(enough, std::int64_t{bound} * 2);
    }
}

namespace {

// The documents below the folders among own, whose own words hold word (or
// start with it, as prefix): through the folder ranges, or in an index
// without them from the marked folder words of the items themselves.
DocSet inFolders(IndexReader& reader, const FolderRanges* folders, const DocSet& own, const std::wstring& word,
                 bool prefix, std::int32_t below) {
    if (folders != nullptr) return folders->below(own, below);
    const std::wstring marked = kFolderWordMark + word;
    return prefix ? prefixDocs(reader, marked, below) : wordDocs(reader, kFoldedField, marked, below);
}

}  // namespace

DocSet foldedMatchesBelow(IndexReader& reader, const PlainWords& words, std::int32_t below, const FolderRanges* folders,
                          PrefixSets* kept) {
    below = std::clamp(below, 0, reader.maxDoc());
    if (words.required.empty()) return DocSet(below);
    const std::wstring& last = words.required.back();
    // A one-letter prefix of the whole index is kept when the caller keeps them.
    const bool keep = kept != nullptr && last.size() == 1 && below == reader.maxDoc();
    const auto keptOr = [&](const std::wstring& key, const std::function<DocSet()>& read) {
        return keep ? *kept->get(key, read) : read();
    };
    // The last word, as a prefix: in the item's own name, or in a folder above.
    DocSet ownName = keptOr(last, [&] { return prefixDocs(reader, last, below); });
    DocSet matches = ownName;
    matches.unite(keptOr(kFolderWordMark + last, [&] { return inFolders(reader, folders, ownName, last, true, below); }));
    for (std::size_t i = 0; i + 1 < words.required.size() && !matches.empty(); ++i) {
        DocSet own = wordDocs(reader, kFoldedField, words.required[i], below);
        DocSet either = own;
        either.unite(inFolders(reader, folders, own, words.required[i], false, below));
        matches.intersect(either);
        ownName.unite(own);
    }
    // One word at least must be the item's own: "alpha" finds the folder
    // "Alpha Band", not everything inside it; "alpha morning" finds the
    // song "Morning" inside it.
    matches.intersect(ownName);
    for (const auto& word : words.excluded) {
        if (matches.empty()) break;
        const DocSet own = wordDocs(reader, kFoldedField, word, below);
        matches.subtract(own);
        matches.subtract(inFolders(reader, folders, own, word, false, below));
    }
    return matches;
}

void keepOneLetterSets(IndexReader& reader, const FolderRanges* folders, PrefixSets& kept,
                       const std::atomic<bool>& stop) {
    const std::int32_t all = reader.maxDoc();
    for (const wchar_t* letter = L"abcdefghijklmnopqrstuvwxyz0123456789"; *letter != L'\0' && !stop.load(); ++letter) {
        const std::wstring prefix(1, *letter);
        const auto own = kept.get(prefix, [&] { return prefixDocs(reader, prefix, all); });
        kept.get(kFolderWordMark + prefix, [&] { return inFolders(reader, folders, *own, prefix, true, all); });
    }
}

void primeReader(IndexReader& reader) {
    TermPtr start(_CLNEW Term(kFoldedField, L""));
    std::unique_ptr<TermEnum, EnumClose> terms(reader.terms(start.get()));
    std::unique_ptr<TermDocs, DocsClose> docs(reader.termDocs());
    if (terms && docs && terms->term(false) != nullptr) {
        docs->seek(terms.get());
        std::int32_t number = 0;
        std::int32_t freq = 0;
        docs->read(&number, &freq, 1);
        reader.docFreq(terms->term(false));
        terms->next();
    }
    wordDocs(reader, kFoldedField, L"a", 0);
    reader.norms(L"name");
}

DocSet directoryDocs(IndexReader& reader, bool& found) {
    DocSet set = wordDocs(reader, lucene::analysis::filename::kKindField, lucene::analysis::filename::kDirectoryKind,
                          reader.maxDoc());
    found = !set.empty();
    return set;
}

}  // namespace lyrebox
