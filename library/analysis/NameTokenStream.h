// The "name" field's terms for the index writer, handed to it as the field's
// own token stream: the same terms, in the same order, as FilenameAnalyzer
// gives for the text, without a copy of the text in the field or the
// analyzer's look-up on every document.
//
// The tokenizer's terms hold only ASCII characters (every character above
// 0x7F separates words), so lowering A-Z here gives exactly what CLucene's
// LowerCaseFilter gives them. One instance serves one writer on one thread;
// the text stays the caller's until the document is added.
#pragma once

#include <CLucene.h>

#include <cstdint>
#include <memory>

namespace lucene::analysis::filename {

class FilenameTokenizer;

class NameTokenStream : public lucene::analysis::TokenStream {
public:
    NameTokenStream();
    ~NameTokenStream() override;
    NameTokenStream(const NameTokenStream&) = delete;
    NameTokenStream& operator=(const NameTokenStream&) = delete;

    // The next document's text (length characters, kept by the caller).
    void setText(const TCHAR* text, std::int32_t length);

    lucene::analysis::Token* next(lucene::analysis::Token* token) override;
    void close() override;

private:
    lucene::util::StringReader reader_;
    FilenameTokenizer* tokenizer_;  // owned through filter_
    std::unique_ptr<lucene::analysis::TokenStream> filter_;
};

}  // namespace lucene::analysis::filename
