// The analyzer of the index's "name" field and of search queries: the chain
// FilenameTokenizer -> FilenameFilter -> CLucene's LowerCaseFilter.
//
// tokenStream() builds a fresh chain that the caller owns (QueryParser deletes
// it). reusableTokenStream() keeps one chain per calling thread and re-points
// it at the new reader, because IndexWriter never deletes what it gets; the
// cached chains are deleted with the analyzer. One instance may serve several
// threads at once.
#pragma once

#include <CLucene.h>

#include <string>
#include <string_view>
#include <vector>

namespace lucene::analysis::filename {

class FilenameAnalyzer : public lucene::analysis::Analyzer {
public:
    FilenameAnalyzer();
    ~FilenameAnalyzer() override;

    lucene::analysis::TokenStream* tokenStream(const TCHAR* fieldName,
                                               lucene::util::Reader* reader) override;
    lucene::analysis::TokenStream* reusableTokenStream(const TCHAR* fieldName,
                                                       lucene::util::Reader* reader) override;
};

// The terms a name yields, each character narrowed back to a byte.
// Used by tests and tools; the index and the searcher work on TCHARs.
std::vector<std::string> analyzeName(lucene::analysis::Analyzer& analyzer, std::string_view name);

// Byte text <-> CLucene text, one character per byte (values 0-255).
std::wstring widen(std::string_view bytes);
// Appends the widened bytes to text (into a buffer kept between calls).
void appendWidened(std::string_view bytes, std::wstring& text);
std::string narrow(const TCHAR* text);
std::string narrow(const TCHAR* text, std::size_t length);

}  // namespace lucene::analysis::filename
