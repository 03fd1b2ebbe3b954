// Terms given as a list of words, for a field the index writer takes as a
// token stream: the terms CLucene's WhitespaceAnalyzer cuts from the words
// joined by blanks, without joining and cutting them again. Words hold no
// blanks; a word longer than a term may be is cut into pieces of that length
// (LUCENE_MAX_WORD_LEN), as that analyzer's tokenizer does.
//
// The words are either the stream's own (clear, add) or a part of a
// caller's list, read where they lie (show). One instance serves one writer
// on one thread.
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
    // Makes the list words first to last (not included) of words given one
    // after another in text, each ending where ends says. text and ends stay
    // the caller's, unchanged, until the list is replaced.
    void show(const std::wstring& text, const std::vector<std::size_t>& ends, std::size_t first, std::size_t last);
    bool empty() const { return word_ >= last_; }

    lucene::analysis::Token* next(lucene::analysis::Token* token) override;
    void close() override;

private:
    void start(const TCHAR* text, const std::size_t* ends, std::size_t first, std::size_t last);

    std::wstring ownText_;              // the words of clear and add
    std::vector<std::size_t> ownEnds_;
    const TCHAR* text_ = nullptr;       // the list being read: its text,
    const std::size_t* ends_ = nullptr; // where each word ends in it,
    std::size_t first_ = 0;             // its first word
    std::size_t last_ = 0;              // and the end of its words
    std::size_t word_ = 0;              // the word next() is in
    std::size_t at_ = 0;                // where next() goes on in text_
};

}  // namespace lucene::analysis::filename
