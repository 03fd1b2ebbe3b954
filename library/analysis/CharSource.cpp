#include "library/analysis/CharSource.h"

#include <algorithm>

namespace lucene::analysis::filename {

void CharSource::reset(lucene::util::Reader* reader) {
    reader_ = reader;
    pos_ = 0;
    end_ = 0;
    eof_ = reader == nullptr;
}

// Moves the last kMaxGiveBack characters to the front, then appends what the
// reader has next. False at end of input.
bool CharSource::fill() {
    if (eof_) {
        return false;
    }
    const std::int32_t keep = std::min(end_, kMaxGiveBack);
    std::copy(buffer_.begin() + (end_ - keep), buffer_.begin() + end_, buffer_.begin());
    pos_ = keep;
    end_ = keep;
    const TCHAR* start = nullptr;
    const std::int32_t count = reader_->read(start, 1, kChunk);
    if (count <= 0 || start == nullptr) {
        eof_ = true;
        return false;
    }
    std::copy(start, start + count, buffer_.begin() + end_);
    end_ += count;
    return true;
}

int CharSource::read() {
    if (pos_ >= end_ && !fill()) {
        return -1;
    }
    return static_cast<int>(buffer_[pos_++]);
}

int CharSource::peek() {
    if (pos_ >= end_ && !fill()) {
        return -1;
    }
    return static_cast<int>(buffer_[pos_]);
}

void CharSource::giveBack() {
    if (pos_ > 0) {
        --pos_;
    }
}

}  // namespace lucene::analysis::filename
