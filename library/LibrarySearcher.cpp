#include "library/LibrarySearcher.h"

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

// Opens and closes the searcher under the process's open/close lock.
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
using SearcherPtr = std::unique_ptr<IndexSearcher, SearcherCloser>;

SearcherPtr openSearcher(const IndexStore& store) {
    auto lock = IndexStore::lockOpenClose();
    const auto directory = store.currentIndexLocked();
    // Checked first: opening a missing index creates its directory and leaks.
    if (!directory || !lucene::index::IndexReader::indexExists(directory->c_str())) {
        return nullptr;
    }
    return SearcherPtr(new IndexSearcher(directory->c_str()));
}

}  // namespace

LibrarySearcher::LibrarySearcher(std::string indexPath) : store_(std::move(indexPath)) {}

void LibrarySearcher::search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly) {
    const auto prepared = prepareQuery(query);
    if (query.empty() || !prepared) {
        return;
    }
    try {
        SearcherPtr searcher = openSearcher(store_);
        if (!searcher) {
            return;
        }
        QueryParser parser(L"name", &analyzer_);
        parser.setDefaultOperator(QueryParser::AND_OPERATOR);
        const std::wstring text = widen(*prepared);
        std::unique_ptr<Query> parsed(parser.parse(text.c_str()));
        if (!parsed) {
            return;
        }
        // Fetch the best hits by window; with dirsOnly the files among them do
        // not count, so widen the window until 500 directories are accepted or
        // the hits run out.
        std::size_t accepted = 0;
        std::int32_t walked = 0;
        std::int32_t window = dirsOnly ? kFirstHitWindow : static_cast<std::int32_t>(kMaxSearchResults);
        for (;;) {
            std::unique_ptr<TopDocs> top(searcher->_search(parsed.get(), nullptr, window));
            if (!top) {
                return;
            }
            for (; walked < top->scoreDocsLength && accepted < kMaxSearchResults; ++walked) {
                Document document;
                if (!searcher->doc(top->scoreDocs[walked].doc, document)) {
                    continue;
                }
                const auto attributes = static_cast<std::uint32_t>(storedNumber(document, L"attributes"));
                if (dirsOnly && !isDirectory(attributes)) {
                    continue;
                }
                FileEntry entry;
                entry.path = narrow(document.get(L"path"));
                entry.attributes = attributes;
                entry.size = storedNumber(document, L"size");
                results.push_back(std::move(entry));
                ++accepted;
            }
            // Done when enough are accepted, or this window already held every hit.
            if (accepted >= kMaxSearchResults || !dirsOnly || top->scoreDocsLength < window ||
                window >= top->totalHits) {
                return;
            }
            window = static_cast<std::int32_t>(std::min<std::int64_t>(top->totalHits, std::int64_t{window} * 4));
        }
    } catch (CLuceneError&) {
        // No index yet, an unparsable query, a damaged file: what was appended stays.
    } catch (const std::exception&) {
        // Out of memory on a huge query: the same, never past the connection thread.
    }
}

}  // namespace lyrebox
