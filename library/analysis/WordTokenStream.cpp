#include "library/analysis/WordTokenStream.h"

#include <algorithm>
#include <cstdint>

namespace lucene::analysis::filename {

void WordTokenStream::start(const TCHAR* text, const std::size_t* ends, std::size_t first, std::size_t last) {
    text_ = text;
    ends_ = ends;
    first_ = first;
    last_ = last;
    word_ = first;
    at_ = first == 0 ? 0 : ends[first - 1];
}

void WordTokenStream::clear() {
    ownText_.clear();
    ownEnds_.clear();
    start(ownText_.data(), ownEnds_.data(), 0, 0);
}

void WordTokenStream::add(const std::wstring& word, TCHAR mark) {
    if (mark != 0) {
        ownText_ += mark;
    }
    ownText_ += word;
    ownEnds_.push_back(ownText_.size());
    start(ownText_.data(), ownEnds_.data(), 0, ownEnds_.size());
}

void WordTokenStream::show(const std::wstring& text, const std::vector<std::size_t>& ends, std::size_t first,
                           std::size_t last) {
    last = std::min(last, ends.size());
    start(text.data(), ends.data(), std::min(first, last), last);
}

lucene::analysis::Token* WordTokenStream::next(lucene::analysis::Token* token) {
    while (word_ < last_ && at_ >= ends_[word_]) {
        ++word_;
    }
    if (word_ >= last_) {
        return nullptr;
    }
    const std::size_t length = std::min<std::size_t>(ends_[word_] - at_, LUCENE_MAX_WORD_LEN);
    token->clear();
    TCHAR* buffer = token->resizeTermBuffer(length + 1);
    std::copy_n(text_ + at_, length, buffer);
    buffer[length] = 0;
    token->setTermLength(static_cast<std::int32_t>(length));
    // Offsets in the words as if joined by one blank each.
    const std::size_t listStart = first_ == 0 ? 0 : ends_[first_ - 1];
    const auto start = static_cast<std::int32_t>(at_ - listStart + word_ - first_);
    token->setStartOffset(start);
    token->setEndOffset(start + static_cast<std::int32_t>(length));
    at_ += length;
    return token;
}

void WordTokenStream::close() { word_ = last_; }

}  // namespace lucene::analysis::filename
