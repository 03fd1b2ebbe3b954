#include "library/analysis/FilenameFilter.h"

#include "library/analysis/TokenTypes.h"

namespace lucene::analysis::filename {

FilenameFilter::FilenameFilter(lucene::analysis::TokenStream* input, bool ownsInput)
    : TokenFilter(input, ownsInput) {}

FilenameFilter::~FilenameFilter() = default;

lucene::analysis::Token* FilenameFilter::next(lucene::analysis::Token* token) {
    if (input->next(token) == nullptr) {
        return nullptr;
    }
    // Types are told apart by identity: the tokenizer sets our own names.
    const TCHAR* type = token->type();
    TCHAR* text = token->termBuffer();
    std::size_t length = token->termLength();
    if (type == tokenTypeName(kApostrophe)) {
        if (length >= 2 && text[length - 2] == L'\'' &&
            (text[length - 1] == L's' || text[length - 1] == L'S')) {
            length -= 2;
            text[length] = 0;
            token->setTermLength(static_cast<std::int32_t>(length));
        }
    } else if (type == tokenTypeName(kAcronym)) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < length; ++i) {
            if (text[i] != L'.') {
                text[kept++] = text[i];
            }
        }
        text[kept] = 0;
        token->setTermLength(static_cast<std::int32_t>(kept));
    }
    return token;
}

}  // namespace lucene::analysis::filename
