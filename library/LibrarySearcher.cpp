#include "library/LibrarySearcher.h"

#include "library/FoldedSearch.h"
#include "library/IndexDocument.h"
#include "library/MappedIndexDirectory.h"
#include "library/SearchLimits.h"
#include "library/SearchQuery.h"

#include <algorithm>
#include <memory>

namespace lyrebox {

namespace {

using lucene::analysis::filename::widen;
using lucene::document::Document;
using lucene::queryParser::QueryParser;
using lucene::search::IndexSearcher;
using lucene::search::Query;
using lucene::search::TopDocs;

std::uint64_t storedNumber(const Document& document, const TCHAR* field) {
    const TCHAR* text = document.get(field);
    std::uint64_t value = 0;
    for (; text != nullptr && *text >= L'0' && *text <= L'9'; ++text) {
        value = value * 10 + static_cast<std::uint64_t>(*text - L'0');
        if (value > 0xFFFFFFFFu) {
            return 0;  // not a number we stored
        }
    }
    return value;
}

// Closes a searcher under the process's open/close lock, then the directory
// it reads, which must outlive it.
struct SearcherCloser {
    std::shared_ptr<MappedIndexDirectory> directory;
    void operator()(IndexSearcher* searcher) const {
        auto lock = IndexStore::lockOpenClose();
        try {
            searcher->close();
        } catch (CLuceneError&) {
        }
        delete searcher;
    }
};

// Whether an open searcher still reads what is on disk under its directory:
// "a" and "b" take turns, so the same path can hold a newer index.
bool readsCurrentIndex(IndexSearcher& searcher) {
    try {
        return searcher.getReader()->isCurrent();
    } catch (CLuceneError&) {
        return false;
    }
}

// Every hit of a query, unscored, as a set.
class SetCollector : public lucene::search::HitCollector {
public:
    explicit SetCollector(DocSet& set) : set_(set) {}
    void collect(const std::int32_t doc, const float_t /*score*/) override { set_.add(doc); }

private:
    DocSet& set_;
};

bool readEntry(IndexSearcher& searcher, std::int32_t doc, FileEntry& entry) {
    Document document;
    if (!searcher.doc(doc, document)) {
        return false;
    }
    entry.path = storedPath(document);
    entry.attributes = static_cast<std::uint32_t>(storedNumber(document, L"attributes"));
    entry.size = storedNumber(document, L"size");
    return true;
}

// The stored fields of docs, each into its place in entries (found[i] false
// when docs[i] has none), read in increasing document order: neighbouring
// documents share the stored-field files' buffers. On an error, the places
// before the first one not read are filled and the error is thrown on.
void readEntries(IndexSearcher& searcher, const std::vector<std::int32_t>& docs, std::vector<FileEntry>& entries,
                 std::vector<char>& found) {
    const std::size_t n = docs.size();
    entries.assign(n, FileEntry{});
    found.assign(n, 0);
    std::vector<char> done(n, 0);
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return docs[a] < docs[b]; });
    try {
        for (std::size_t i : order) {
            found[i] = readEntry(searcher, docs[i], entries[i]) ? 1 : 0;
            done[i] = 1;
        }
    } catch (...) {
        const auto firstUnread = static_cast<std::size_t>(std::find(done.begin(), done.end(), 0) - done.begin());
        entries.resize(firstUnread);
        found.resize(firstUnread);
        throw;
    }
}

// readEntries, with found[i] false too for a file when only directories are
// listed. On an error, the listable entries read before it go to results.
void readListable(IndexSearcher& searcher, const std::vector<std::int32_t>& docs, bool dirsOnly,
                  std::vector<FileEntry>& entries, std::vector<char>& found, std::vector<FileEntry>& results) {
    try {
        readEntries(searcher, docs, entries, found);
    } catch (...) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (found[i] && (!dirsOnly || isDirectory(entries[i].attributes))) results.push_back(std::move(entries[i]));
        }
        throw;
    }
    for (std::size_t i = 0; i < docs.size(); ++i) {
        if (dirsOnly && !isDirectory(entries[i].attributes)) found[i] = 0;
    }
}

}  // namespace

LibrarySearcher::LibrarySearcher(std::string indexPath) : store_(std::move(indexPath)) {}

LibrarySearcher::OpenIndex LibrarySearcher::currentIndex() {
    OpenIndex stale;  // closed once both locks are released
    std::lock_guard cacheLock(cacheMutex_);
    auto lock = IndexStore::lockOpenClose();
    const auto directory = store_.currentIndexLocked();
    if (cached_.searcher && directory && *directory == cachedDirectory_ && readsCurrentIndex(*cached_.searcher)) {
        return cached_;
    }
    stale = std::move(cached_);
    cached_ = OpenIndex{};
    cachedDirectory_.clear();
    // Checked first: opening a missing index creates its directory and leaks.
    if (!directory || !lucene::index::IndexReader::indexExists(directory->c_str())) {
        return OpenIndex{};
    }
    auto mapped = std::make_shared<MappedIndexDirectory>(*directory);
    std::shared_ptr<IndexSearcher> searcher(new IndexSearcher(mapped.get()), SearcherCloser{mapped});
    primeReader(*searcher->getReader());  // before any other thread can have it
    cached_.searcher = std::move(searcher);
    cached_.cache = std::make_shared<SearchCache>();
    cached_.prefixes = std::make_shared<PrefixSets>();
    if (auto folders = FolderRanges::read(*directory + "/" + kFolderRangesFile, cached_.searcher->maxDoc())) {
        cached_.folders = std::make_shared<const FolderRanges>(std::move(*folders));
    }
    cachedDirectory_ = *directory;
    return cached_;
}

void LibrarySearcher::search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly) {
    SearchResult found = answer(query, dirsOnly, false);
    for (auto& entry : found.items) {
        results.push_back(std::move(entry));
    }
}

SearchResult LibrarySearcher::find(const std::string& query, bool dirsOnly) { return answer(query, dirsOnly, true); }

void LibrarySearcher::warm(const std::atomic<bool>& stop) {
    try {
        const OpenIndex open = currentIndex();
        if (open.searcher) keepOneLetterSets(*open.searcher->getReader(), open.folders.get(), *open.prefixes, stop);
    } catch (CLuceneError&) {
        // A damaged index: searches will find nothing either.
    } catch (const std::exception&) {
        // Out of memory: searches read the sets themselves.
    }
}

SearchResult LibrarySearcher::answer(const std::string& query, bool dirsOnly, bool counted) {
    SearchResult result;
    const auto prepared = prepareQuery(query);
    if (query.empty() || !prepared) {
        return result;
    }
    try {
        const OpenIndex open = currentIndex();
        if (!open.searcher) {
            return result;
        }
        if (auto kept = open.cache->answer(query, dirsOnly)) {
            return std::move(*kept);
        }
        if (collect(open, *prepared, dirsOnly, counted, result) && counted) {
            open.cache->keepAnswer(query, dirsOnly, result);
        }
    } catch (CLuceneError&) {
        // No index yet, an unparsable query, a damaged file: what was appended stays.
        result.total = std::max(result.total, result.items.size());
    } catch (const std::exception&) {
        // Out of memory on a huge query: the same, never past the connection thread.
        result.total = std::max(result.total, result.items.size());
    }
    return result;
}

bool LibrarySearcher::collect(const OpenIndex& open, const std::string& prepared, bool dirsOnly, bool counted,
                              SearchResult& result) {
    IndexSearcher& searcher = *open.searcher;
    auto& results = result.items;
    QueryParser parser(L"name", &analyzer_);
    parser.setDefaultOperator(QueryParser::AND_OPERATOR);
    const std::wstring text = widen(prepared);
    std::unique_ptr<Query> parsed(parser.parse(text.c_str()));
    if (!parsed) {
        return true;
    }
    lucene::index::IndexReader& reader = *searcher.getReader();
    DocSet named(reader.maxDoc());  // the accepted hits of the name query
    std::vector<std::int32_t> docs;
    std::vector<FileEntry> entries;
    std::vector<char> found;
    // Fetch the best hits by window; with dirsOnly the files among them do
    // not count, so widen the window until 500 directories are accepted or
    // the hits run out. Hits are read as many at a time as places are left.
    std::size_t accepted = 0;
    std::int32_t walked = 0;
    std::int32_t window = dirsOnly ? kFirstHitWindow : static_cast<std::int32_t>(kMaxSearchResults);
    for (;;) {
        std::unique_ptr<TopDocs> top(searcher._search(parsed.get(), nullptr, window));
        if (!top) {
            return false;
        }
        while (walked < top->scoreDocsLength && accepted < kMaxSearchResults) {
            const auto batch = std::min<std::size_t>(kMaxSearchResults - accepted,
                                                     static_cast<std::size_t>(top->scoreDocsLength - walked));
            docs.clear();
            for (std::size_t i = 0; i < batch; ++i) docs.push_back(top->scoreDocs[walked + static_cast<std::int32_t>(i)].doc);
            readListable(searcher, docs, dirsOnly, entries, found, results);
            walked += static_cast<std::int32_t>(batch);
            for (std::size_t i = 0; i < batch; ++i) {
                if (!found[i]) {
                    continue;
                }
                results.push_back(std::move(entries[i]));
                named.add(docs[i]);
                ++accepted;
            }
        }
        // Done when enough are accepted, or this window already held every hit.
        if (accepted >= kMaxSearchResults || !dirsOnly || top->scoreDocsLength < window ||
            window >= top->totalHits) {
            break;
        }
        window = static_cast<std::int32_t>(std::min<std::int64_t>(top->totalHits, std::int64_t{window} * 4));
    }
    result.total = accepted;

    // The folded half: the items the name query missed, in index order.
    if (!counted && accepted >= kMaxSearchResults) {
        return true;  // the list is full, and nothing more is counted
    }
    const PlainWords words = plainQueryWords(prepared);
    // Without a count, the files found by one word (a prefix being typed)
    // need only the first matches; with more words, the whole word's sets
    // keep the prefix's read to one.
    DocSet folded = !counted && !dirsOnly && words.required.size() == 1
                        ? firstFoldedMatches(reader, words, open.folders.get(), named, kMaxSearchResults - accepted)
                        : foldedMatches(reader, words, open.folders.get(), open.prefixes.get());
    bool marked = false;
    const DocSet directories = dirsOnly ? directoryDocs(reader, marked) : DocSet();
    if (dirsOnly && marked) {
        folded.intersect(directories);
    }
    if (accepted >= kMaxSearchResults) {
        // The list is full; the total still counts every item either half finds.
        DocSet all(reader.maxDoc());
        SetCollector collector(all);
        searcher._search(parsed.get(), nullptr, &collector);
        if (dirsOnly) {
            all.intersect(directories);
        }
        all.unite(named);
        if (!dirsOnly || marked) {
            all.unite(folded);
        }
        result.total = all.count();
        result.cut = result.total > results.size();
        return true;
    }
    folded.subtract(named);
    result.total = accepted + folded.count();
    // Enough candidates for the places left; every one when each must still
    // be checked for being a directory (read as many at a time as places are left).
    const std::size_t wanted = dirsOnly && !marked ? folded.count() : kMaxSearchResults - accepted;
    const std::vector<std::int32_t> extra = folded.members(wanted);
    std::size_t next = 0;
    while (next < extra.size() && results.size() < kMaxSearchResults) {
        const std::size_t batch = std::min(kMaxSearchResults - results.size(), extra.size() - next);
        docs.assign(extra.begin() + static_cast<std::ptrdiff_t>(next),
                    extra.begin() + static_cast<std::ptrdiff_t>(next + batch));
        next += batch;
        readListable(searcher, docs, dirsOnly, entries, found, results);
        for (std::size_t i = 0; i < batch; ++i) {
            if (!found[i]) {
                --result.total;
                continue;
            }
            results.push_back(std::move(entries[i]));
        }
    }
    result.cut = result.total > results.size();
    if (!counted) {
        result.total = results.size();  // no count was made
        result.cut = false;
    }
    return true;
}

}  // namespace lyrebox
