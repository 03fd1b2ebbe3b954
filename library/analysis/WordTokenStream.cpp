#include "library/analysis/WordTokenStream.h"

#include <algorithm>
#include <cstdint>

namespace lucene::analysis::filename {

void WordTokenStream::clear() {
    text_.clear();
    ends_.clear();
    word_ = 0;
    at_ = 0;
}

void WordTokenStream::add(const std::wstring& word, TCHAR mark) {
    if (mark != 0) {
        text_ += mark;
    }
    text_ += word;
    ends_.push_back(text_.size());
}

void WordTokenStream::assign(const std::wstring& text, const std::vector<std::size_t>& ends) {
    text_.assign(text);
    ends_.assign(ends.begin(), ends.end());
    word_ = 0;
    at_ = 0;
}

lucene::analysis::Token* WordTokenStream::next(lucene::analysis::Token* token) {
    while (word_ < ends_.size() && at_ >= ends_[word_]) {
        ++word_;
    }
    if (word_ >= ends_.size()) {
        return nullptr;
    }
    const std::size_t length = std::min<std::size_t>(ends_[word_] - at_, LUCENE_MAX_WORD_LEN);
    token->clear();
    TCHAR* buffer = token->resizeTermBuffer(length + 1);
    std::copy_n(text_.data() + at_, length, buffer);
    buffer[length] = 0;
    token->setTermLength(static_cast<std::int32_t>(length));
    // Offsets in the words as if joined by one blank each.
    const auto start = static_cast<std::int32_t>(at_ + word_);
    token->setStartOffset(start);
    token->setEndOffset(start + static_cast<std::int32_t>(length));
    at_ += length;
    return token;
}

void WordTokenStream::close() {
    word_ = ends_.size();
    at_ = text_.size();
}

}  // namespace lucene::analysis::filename
