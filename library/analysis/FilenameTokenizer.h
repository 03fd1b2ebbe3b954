// Cuts a file name into words: runs of ASCII letters and digits, with the
// dotted, apostrophe, "@", "&" and number continuations of the file-name
// grammar. Works on characters 0-255 (one per byte of the name); every
// character above 0x7F belongs to no class and separates words.
//
// Token text is written straight into the Token's own buffer (at most 255
// characters plus a terminator). One instance serves one stream on one thread;
// reset(reader) re-points it for reuse. The Reader stays the caller's.
#pragma once

#include "library/analysis/CharSource.h"
#include "library/analysis/TokenTypes.h"

#include <CLucene.h>

#include <cstdint>

namespace lucene::analysis::filename {

class FilenameTokenizer : public lucene::analysis::Tokenizer {
public:
    static constexpr std::int32_t kMaxTokenLength = 255;

    explicit FilenameTokenizer(lucene::util::Reader* reader);
    ~FilenameTokenizer() override;

    lucene::analysis::Token* next(lucene::analysis::Token* token) override;
    void reset(lucene::util::Reader* reader) override;
    // Also detaches the character source: the reader may be gone after this.
    void close() override;

private:
    // The token under construction: the Token's buffer and its length so far.
    struct Text {
        TCHAR* buffer = nullptr;
        std::int32_t length = 0;
        void append(int c) { buffer[length++] = static_cast<TCHAR>(c); }
        void removeLast() { --length; }
        bool endsWith(int c) const { return length > 0 && buffer[length - 1] == static_cast<TCHAR>(c); }
        bool contains(int c) const;
    };

    int read();
    void giveBack();
    bool atEnd() { return source_.atEnd(); }
    bool nothingRead(std::int32_t mark, int c) const;

    bool emit(lucene::analysis::Token* token, const Text& text, TokenType type);
    bool scanWord(lucene::analysis::Token* token, int first);
    bool scanNumber(lucene::analysis::Token* token, Text& text, bool hasPrevious, int first);
    bool scanDotted(lucene::analysis::Token* token, Text& text, TokenType type);
    bool scanApostrophe(lucene::analysis::Token* token, Text& text);
    bool scanAt(lucene::analysis::Token* token, Text& text);
    bool scanAmpersand(lucene::analysis::Token* token, Text& text);

    CharSource source_;
    std::int32_t readPosition_ = -1;  // offset of the last character read
    std::int32_t tokenStart_ = -1;
};

}  // namespace lucene::analysis::filename
