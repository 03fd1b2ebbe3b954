#include "library/analysis/IndexAnalyzer.h"

#include <cwchar>

namespace lucene::analysis::filename {

namespace {

bool isFolded(const TCHAR* fieldName) { return fieldName != nullptr && std::wcscmp(fieldName, kFoldedField) == 0; }

}  // namespace

lucene::analysis::TokenStream* IndexAnalyzer::tokenStream(const TCHAR* fieldName, lucene::util::Reader* reader) {
    return isFolded(fieldName) ? words_.tokenStream(fieldName, reader) : names_.tokenStream(fieldName, reader);
}

lucene::analysis::TokenStream* IndexAnalyzer::reusableTokenStream(const TCHAR* fieldName,
                                                                  lucene::util::Reader* reader) {
    return isFolded(fieldName) ? words_.reusableTokenStream(fieldName, reader)
                               : names_.reusableTokenStream(fieldName, reader);
}

}  // namespace lucene::analysis::filename
