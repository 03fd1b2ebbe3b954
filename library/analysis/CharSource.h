// A character source for the file-name tokenizer: read one character, peek at
// the next, give back the last ones read, all over a CLucene Reader.
//
// CLucene's own buffered character stream is not exported by the shared
// library, so the tokenizer reads through this one. It copies the reader's
// characters into a buffer of its own and keeps the last kMaxGiveBack
// characters across refills, so a give-back never fails: the number-scanning
// steps may give back two characters in a row. Owned by one tokenizer and used
// by one thread at a time; the Reader stays the caller's.
#pragma once

#include <CLucene.h>

#include <array>
#include <cstdint>

namespace lucene::analysis::filename {

class CharSource {
public:
    static constexpr std::int32_t kMaxGiveBack = 4;

    CharSource() = default;
    explicit CharSource(lucene::util::Reader* reader) { reset(reader); }

    void reset(lucene::util::Reader* reader);

    // The next character, or -1 at end of input.
    int read();
    // The next character without reading it, or -1 at end of input.
    int peek();
    // Steps back over the last character read (up to kMaxGiveBack in a row).
    void giveBack();
    bool atEnd() { return peek() < 0; }

private:
    bool fill();

    static constexpr std::int32_t kChunk = 512;
    lucene::util::Reader* reader_ = nullptr;
    std::array<TCHAR, kMaxGiveBack + kChunk> buffer_{};
    std::int32_t pos_ = 0;   // next character to read
    std::int32_t end_ = 0;   // one past the last valid character
    bool eof_ = false;
};

}  // namespace lucene::analysis::filename
