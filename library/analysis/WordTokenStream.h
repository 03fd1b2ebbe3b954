// Terms given as a list of words, for a field the index writer takes as a
// token stream: the terms CLucene's WhitespaceAnalyzer cuts from the words
// joined by blanks, without joining and cutting them again. Words hold no
// blanks; a word longer than a term may be is cut into pieces of that length
// (LUCENE_MAX_WORD_LEN), as that analyzer's tokenizer does.
//
// One instance serves one writer on one thread.
#pragma once

#include <CLucene.h>

#include <cstddef>
#include <string>
#include <vector>

namespace lucene::analysis::filename {

class WordTokenStream : public lucene::analysis::TokenStream {
public:
    // Starts the next document's list of words.
    void clear();
    // Appends one word, with mark in front of it unless mark is 0.
    void add(const std::wstring& word, TCHAR mark = 0);
    // Replaces the list with words given one after another in text, each
    // ending where ends says.
    void assign(const std::wstring& text, const std::vector<std::size_t>& ends);
    bool empty() const { return ends_.empty(); }

    lucene::analysis::Token* next(lucene::analysis::Token* token) override;
    void close() override;

private:
    std::wstring text_;              // the words, one after another
    std::vector<std::size_t> ends_;  // where each word ends in text_
    std::size_t word_ = 0;           // the word next() is in
    std::size_t at_ = 0;             // where next() goes on in text_
};

}  // namespace lucene::analysis::filename
