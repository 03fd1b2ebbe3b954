// libFuzzer target for what a search query goes through before the index:
// the file-name analysis of the text, then the query parsing exactly as the
// library searcher does it (prepareQuery, then QueryParser with AND).
// Names and queries arrive from the network; neither may crash or abort.
#include "library/SearchQuery.h"
#include "library/analysis/FilenameAnalyzer.h"

#include <CLucene.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static lucene::analysis::filename::FilenameAnalyzer analyzer;
    const std::string text(reinterpret_cast<const char*>(data), size);

    for (const auto& term : lucene::analysis::filename::analyzeName(analyzer, text)) {
        if (term.empty() || term.size() > 255) {
            __builtin_trap();
        }
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
