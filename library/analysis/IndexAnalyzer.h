// The analyzer the index writer uses: the "name" field (and every other
// tokenized field but one) goes through the file-name analyzer; the folded
// word field, whose text is already folded words separated by blanks, is
// only split at the blanks.
//
// Holds a reference to the file-name analyzer, which must outlive it. Like
// that analyzer it keeps one reusable chain per thread; safe on any thread.
#pragma once

#include "library/analysis/FilenameAnalyzer.h"

namespace lucene::analysis::filename {

// The field of folded path words, and the one that marks directories.
inline constexpr const TCHAR* kFoldedField = L"folded";
inline constexpr const TCHAR* kKindField = L"kind";
inline constexpr const TCHAR* kDirectoryKind = L"d";
// Marks a folded word that comes from a folder above the item, not from its
// own name (words never hold it).
inline constexpr TCHAR kFolderWordMark = L'/';

class IndexAnalyzer : public lucene::analysis::Analyzer {
public:
    explicit IndexAnalyzer(FilenameAnalyzer& names) : names_(names) {}

    lucene::analysis::TokenStream* tokenStream(const TCHAR* fieldName, lucene::util::Reader* reader) override;
    lucene::analysis::TokenStream* reusableTokenStream(const TCHAR* fieldName,
                                                       lucene::util::Reader* reader) override;

private:
    FilenameAnalyzer& names_;
    lucene::analysis::WhitespaceAnalyzer words_;
};

}  // namespace lucene::analysis::filename
