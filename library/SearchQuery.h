// What the library search does to a query before CLucene's parser sees it.
// Pure functions on bytes, safe on any thread.
#pragma once

#include <optional>
#include <string>

namespace lyrebox {

// The text the parser gets, or nothing when the query is refused unparsed.
//
// Refused: a "(" nested deeper than kMaxQueryNesting (the parser recurses per
// level, and connection threads have small stacks), one left unclosed, or a
// quoted phrase left open (on these syntax errors the parser leaks the
// clauses it built before them, a group's in particular), or a "\u" without
// four hexadecimal digits after it (the parser takes "\u" for the start of a
// character code, fails on a shorter one, and leaks the term it was reading
// when the term ends in "*").
//
// Changed everywhere: a NUL byte becomes a blank (it separates words in
// names too, and the parser would end the query there); so does a "\" at the
// very end, which escapes nothing.
//
// Changed, outside quoted phrases and escapes:
// - a "-" or "+" standing alone between blanks becomes a blank, so
//   "Artist - Title" means both words, not "Artist without Title";
// - a ":" becomes a blank, and a "name" right before it goes with it: only the
//   "name" field is searchable, so "name:x" means x, and "AC:DC" means both
//   words instead of the word DC in a field AC (which no index has; the parser
//   also leaks on a field with nothing valid after it);
// - "[", "]", "{", "}", "~" and "^" become blanks, so "Song [Live]" or
//   "Track~1" means its words: ranges, similarity and boosts are no use to a
//   name search, and the parser leaks the query it built on every malformed
//   one of them;
// - a ")" that closes nothing becomes a blank.
std::optional<std::string> prepareQuery(const std::string& query);

}  // namespace lyrebox
