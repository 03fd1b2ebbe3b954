// Text conventions of the player commands and documents: how parameters are
// read and how numbers and player texts are written. Pure functions, usable
// from any thread.
#pragma once

#include <string>
#include <string_view>

namespace lyrebox {

// Integer parameters are read by platform::parseDecimalPrefix<int>.

// A decimal floating-point number read from the start of text: white space,
// an optional sign, then digits, an optional point and an optional exponent;
// 0.0 when there is no number. Not affected by the process locale.
double parseDoubleParam(std::string_view text);

// The fraction in general notation with at most 6 significant digits and no
// trailing zeros (0.5, 0.333333, 0, 1e-05); "0" for a value that is not
// finite. Not affected by the process locale.
std::string formatPositionFraction(double fraction);

// Appends text for use inside a CDATA section of a UTF-8 document: every "]]>"
// is split across two sections, so a player text can never end its section
// early, and every byte that cannot stand in such a document (invalid UTF-8,
// control characters other than tab, LF and CR) becomes U+FFFD. Well-formed
// UTF-8 text passes unchanged.
void appendCdataText(std::string& out, std::string_view text);

}  // namespace lyrebox
