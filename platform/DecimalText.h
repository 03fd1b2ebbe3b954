// The one reader of decimal integers in text (request headers, parameters,
// player texts). A pure function, usable from any thread.
#pragma once

#include <charconv>
#include <concepts>
#include <limits>
#include <string_view>

namespace platform {

// The decimal number at the start of text as strtol reads it: white space
// (space, \t to \r), an optional sign, then digits up to the first other
// character; 0 when no digit follows. A value beyond Int's range saturates at
// the limit on its side.
template <std::signed_integral Int>
Int parseDecimalPrefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (negative || text[i] == '+')) ++i;
    if (i == text.size() || text[i] < '0' || text[i] > '9') return 0;
    // from_chars reads the minus sign itself, so the most negative value is
    // reached; it takes no plus sign, which is why that one is skipped above.
    const char* first = text.data() + i - (negative ? 1 : 0);
    Int value = 0;
    const auto result = std::from_chars(first, text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        return negative ? std::numeric_limits<Int>::min() : std::numeric_limits<Int>::max();
    return value;
}

}  // namespace platform
