// Adjusts the tokenizer's tokens: cuts a trailing "'s" off apostrophe words
// ("Tom's" -> "Tom") and the dots out of acronyms ("U.S.A." -> "USA").
// Same thread contract as the stream it filters.
#pragma once

#include <CLucene.h>

namespace lucene::analysis::filename {

class FilenameFilter : public lucene::analysis::TokenFilter {
public:
    FilenameFilter(lucene::analysis::TokenStream* input, bool ownsInput);
    ~FilenameFilter() override;

    lucene::analysis::Token* next(lucene::analysis::Token* token) override;
};

}  // namespace lucene::analysis::filename
