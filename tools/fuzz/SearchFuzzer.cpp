// libFuzzer target for the file-name analysis and for what a search query
// goes through before the index: the bytes are analyzed as a file name, once
// through a fresh chain (as the query parser takes it) and once through the
// analyzer's reused per-thread chain (as the indexer takes it, after the
// previous input's name), and both must give the same terms; then the query
// parsing exactly as the library searcher does it (prepareQuery, then
// QueryParser with AND). Names and queries arrive from the network or the
// disk; neither may crash or abort.
#include "library/SearchQuery.h"
#include "library/analysis/FilenameAnalyzer.h"

#include <CLucene.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// The terms of the analyzer's reusable chain, drained as the index writer
// drains it; the chain stays with the analyzer for the next name.
std::vector<std::string> reusedChainTerms(lucene::analysis::Analyzer& analyzer, const std::wstring& text) {
    lucene::util::StringReader reader(text.c_str(), static_cast<int32_t>(text.size()), false);
    lucene::analysis::TokenStream* stream = analyzer.reusableTokenStream(L"name", &reader);
    std::vector<std::string> terms;
    lucene::analysis::Token token;
    while (stream->next(&token) != nullptr) {
        terms.push_back(lucene::analysis::filename::narrow(token.termBuffer(), token.termLength()));
    }
    stream->close();
    return terms;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static lucene::analysis::filename::FilenameAnalyzer analyzer;
    const std::string text(reinterpret_cast<const char*>(data), size);

    const auto terms = lucene::analysis::filename::analyzeName(analyzer, text);
    for (const auto& term : terms) {
        if (term.empty() || term.size() > 255) {
            __builtin_trap();
        }
    }
    static lucene::analysis::filename::FilenameAnalyzer indexAnalyzer;
    if (reusedChainTerms(indexAnalyzer, lucene::analysis::filename::widen(text)) != terms) {
        __builtin_trap();
    }

    const auto prepared = lyrebox::prepareQuery(text);
    if (!prepared) {
        return 0;
    }
    lucene::queryParser::QueryParser parser(L"name", &analyzer);
    parser.setDefaultOperator(lucene::queryParser::QueryParser::AND_OPERATOR);
    const std::wstring query = lucene::analysis::filename::widen(*prepared);
    try {
        std::unique_ptr<lucene::search::Query> parsed(parser.parse(query.c_str()));
    } catch (CLuceneError&) {
        // Rejected queries are fine; the searcher answers them with nothing.
    }
    return 0;
}
