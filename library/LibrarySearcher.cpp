#include "library/LibrarySearcher.h"

#include "library/FoldedSearch.h"
#include "library/SearchLimits.h"
#include "library/SearchQuery.h"

#include <algorithm>
#include <memory>

namespace lyrebox {

namespace {

using lucene::analysis::filename::narrow;
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

// Closes a searcher under the process's open/close lock.
struct SearcherCloser {
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
    entry.path = narrow(document.get(L"path"));
    entry.attributes = static_cast<std::uint32_t>(storedNumber(document, L"attributes"));
    entry.size = storedNumber(document, L"size");
    return true;
}

}  // namespace

LibrarySearcher::LibrarySearcher(std::string indexPath) : store_(std::move(indexPath)) {}

std::shared_ptr<IndexSearcher> LibrarySearcher::currentSearcher() {
    std::shared_ptr<IndexSearcher> stale;  // closed once both locks are released
    std::lock_guard cacheLock(cacheMutex_);
    auto lock = IndexStore::lockOpenClose();
    const auto directory = store_.currentIndexLocked();
    if (cached_ && directory && *directory == cachedDirectory_ && readsCurrentIndex(*cached_)) {
        return cached_;
    }
    stale = std::move(cached_);
    cachedDirectory_.clear();
    // Checked first: opening a missing index creates its directory and leaks.
    if (!directory || !lucene::index::IndexReader::indexExists(directory->c_str())) {
        return nullptr;
    }
    cached_ = std::shared_ptr<IndexSearcher>(new IndexSearcher(directory->c_str()), SearcherCloser());
    cachedDirectory_ = *directory;
    return cached_;
}

void LibrarySearcher::search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly) {
    SearchResult found = find(query, dirsOnly);
    for (auto& entry : found.items) {
        results.push_back(std::move(entry));
    }
}

SearchResult LibrarySearcher::find(const std::string& query, bool dirsOnly) {
    SearchResult result;
    auto& results = result.items;
    const auto prepared = prepareQuery(query);
    if (query.empty() || !prepared) {
        return result;
    }
    try {
        const std::shared_ptr<IndexSearcher> searcher = currentSearcher();
        if (!searcher) {
            return result;
        }
        QueryParser parser(L"name", &analyzer_);
        parser.setDefaultOperator(QueryParser::AND_OPERATOR);
        const std::wstring text = widen(*prepared);
        std::unique_ptr<Query> parsed(parser.parse(text.c_str()));
        if (!parsed) {
            return result;
        }
        lucene::index::IndexReader& reader = *searcher->getReader();
        DocSet named(reader.maxDoc());  // the accepted hits of the name query
        // Fetch the best hits by window; with dirsOnly the files among them do
        // not count, so widen the window until 500 directories are accepted or
        // the hits run out.
        std::size_t accepted = 0;
        std::int32_t walked = 0;
        std::int32_t window = dirsOnly ? kFirstHitWindow : static_cast<std::int32_t>(kMaxSearchResults);
        for (;;) {
            std::unique_ptr<TopDocs> top(searcher->_search(parsed.get(), nullptr, window));
            if (!top) {
                return result;
            }
            for (; walked < top->scoreDocsLength && accepted < kMaxSearchResults; ++walked) {
                const std::int32_t doc = top->scoreDocs[walked].doc;
                FileEntry entry;
                if (!readEntry(*searcher, doc, entry)) {
                    continue;
                }
                if (dirsOnly && !isDirectory(entry.attributes)) {
                    continue;
                }
                results.push_back(std::move(entry));
                named.add(doc);
                ++accepted;
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
        DocSet folded = foldedMatches(reader, plainQueryWords(*prepared));
        bool marked = false;
        const DocSet directories = dirsOnly ? directoryDocs(reader, marked) : DocSet();
        if (dirsOnly && marked) {
            folded.intersect(directories);
        }
        if (accepted >= kMaxSearchResults) {
            // The list is full; the total still counts every item either half finds.
            DocSet all(reader.maxDoc());
            SetCollector collector(all);
            searcher->_search(parsed.get(), nullptr, &collector);
            if (dirsOnly) {
                all.intersect(directories);
            }
            all.unite(named);
            if (!dirsOnly || marked) {
                all.unite(folded);
            }
            result.total = all.count();
            result.cut = result.total > results.size();
            return result;
        }
        folded.subtract(named);
        result.total = accepted + folded.count();
        // Enough candidates for the places left; every one when each must still
        // be checked for being a directory.
        const std::size_t wanted = dirsOnly && !marked ? folded.count() : kMaxSearchResults - accepted;
        const std::vector<std::int32_t> extra = folded.members(wanted);
        for (std::int32_t doc : extra) {
            if (results.size() >= kMaxSearchResults) {
                break;
            }
            FileEntry entry;
            if (!readEntry(*searcher, doc, entry) || (dirsOnly && !isDirectory(entry.attributes))) {
                --result.total;
                continue;
            }
            results.push_back(std::move(entry));
        }
        result.cut = result.total > results.size();
    } catch (CLuceneError&) {
        // No index yet, an unparsable query, a damaged file: what was appended stays.
        result.total = std::max(result.total, results.size());
    } catch (const std::exception&) {
        // Out of memory on a huge query: the same, never past the connection thread.
        result.total = std::max(result.total, results.size());
    }
    return result;
}

}  // namespace lyrebox
