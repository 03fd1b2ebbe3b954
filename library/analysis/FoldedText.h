// Folding of names for the index's second word field and for the plain words
// of a query: UTF-8 decoded (text that is not valid UTF-8 is read as Latin-1),
// decomposed, marks removed, letters such as ß, ø, æ, ł spelt in plain Latin
// (other scripts keep their letters), lower-cased, and split into words at
// every character that is not a letter or a digit. A "." between two word
// characters joins them, as the name field keeps a dotted name ("Vol.2",
// "My.Song.Name") as one term.
//
// Pure functions; safe on any thread (each thread keeps its own ICU
// transliterator, built on first use).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lucene::analysis::filename {

// The folded words of text, in order (repeats kept), as CLucene text: one
// TCHAR per Unicode code point.
std::vector<std::wstring> foldedWords(std::string_view text);

// Appends the folded words of text to those in joined, one after another,
// each ending where ends says, leaving out the ones already there (a
// document needs each word once: matching does not count them). Written in
// place: an entry's words cost no allocation of their own.
void addFoldedWords(std::string_view text, std::wstring& joined, std::vector<std::size_t>& ends);

// The same words as UTF-8 (tests and tools).
std::vector<std::string> foldedWordsUtf8(std::string_view text);
std::string toUtf8(const std::wstring& word);

}  // namespace lucene::analysis::filename
