// What the library search does to a query before CLucene's parser sees it.
// Pure functions on bytes, safe on any thread.
#pragma once

#include <optional>
#include <string>

namespace lyrebox {

// The text the parser gets, or nothing when the query is refused unparsed.
//
// Refused: a "(" nested deeper than kMaxQueryNesting (the parser recurses per
// level, and connection threads have small stacks), or a "(" or phrase left
// unclosed (the parser leaks the clauses it built before such an error; it
// would reject the query anyway), or a fuzzy term with a similarity of 1 or
// more (the same).
//
// Changed, outside quoted phrases and escapes:
// - a "-" or "+" standing alone between blanks becomes a blank, so
//   "Artist - Title" means both words, not "Artist without Title";
// - a ")" that closes nothing becomes a blank (the parser would reject the
//   query, and after a group it leaks);
// - "[", "]", "{" and "}" become blanks: range queries on names are of no use,
//   and the parser leaks on malformed ones ("[a b]");
// - a "^" without a number after it, and a "~" after no term or phrase,
//   become blanks (the parser would reject them, and it leaks);
// - a ":" becomes a blank, and a "name" right before it goes with it: only the
//   "name" field is searchable, so "name:x" means x, and "AC:DC" means both
//   words instead of the word DC in a field AC (which no index has; the parser
//   also leaks on a field with nothing valid after it).
std::optional<std::string> prepareQuery(const std::string& query);

}  // namespace lyrebox
