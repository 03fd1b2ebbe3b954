#include "library/analysis/NameTokenStream.h"

#include "library/analysis/FilenameFilter.h"
#include "library/analysis/FilenameTokenizer.h"

namespace lucene::analysis::filename {

NameTokenStream::NameTokenStream()
    : reader_(L"", 0, false), tokenizer_(new FilenameTokenizer(nullptr)),
      filter_(std::make_unique<FilenameFilter>(tokenizer_, true)) {}

NameTokenStream::~NameTokenStream() = default;

void NameTokenStream::setText(const TCHAR* text, std::int32_t length) {
    reader_.init(text, length, false);
    tokenizer_->reset(&reader_);
}

lucene::analysis::Token* NameTokenStream::next(lucene::analysis::Token* token) {
    if (filter_->next(token) == nullptr) {
        return nullptr;
    }
    TCHAR* text = token->termBuffer();
    const std::size_t length = token->termLength();
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] >= L'A' && text[i] <= L'Z') {
            text[i] = static_cast<TCHAR>(text[i] + (L'a' - L'A'));
        }
    }
    return token;
}

void NameTokenStream::close() { filter_->close(); }

}  // namespace lucene::analysis::filename
