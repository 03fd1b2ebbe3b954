#include "api/PlayerText.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace lyrebox {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Skips white space and an optional sign; returns whether it was "-".
bool skipBlanksAndSign(std::string_view& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    text.remove_prefix(i);
    return negative;
}

}  // namespace

int parseIntParam(std::string_view text) {
    const bool negative = skipBlanksAndSign(text);
    long long value = 0;
    for (char c : text) {
        if (!isDigit(c)) break;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;  // saturated; stays bounded
        }
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

double parseDoubleParam(std::string_view text) {
    const bool negative = skipBlanksAndSign(text);
    // from_chars accepts no sign of its own here and no "inf"/"nan": only digits,
    // a point and an exponent, as the parameter is defined.
    if (text.empty() || !(isDigit(text[0]) || (text[0] == '.' && text.size() > 1 && isDigit(text[1])))) {
        return 0.0;
    }
    double value = 0.0;
    const char* first = text.data();
    const auto [end, ec] = std::from_chars(first, first + text.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: strtod gives the saturated value.
        const std::string span(first, end);
        value = std::strtod(span.c_str(), nullptr);
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::string formatPositionFraction(double fraction) {
    if (!std::isfinite(fraction)) return "0";
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, fraction, std::chars_format::general, 6);
    if (ec != std::errc()) return "0";
    return std::string(buffer, end);
}

void appendCdataText(std::string& out, std::string_view text) {
    static constexpr std::string_view kEnd = "]]>";
    std::size_t start = 0;
    for (std::size_t at = text.find(kEnd); at != std::string_view::npos; at = text.find(kEnd, start)) {
        // "]]" stays in this section, ">" starts the next one.
        out.append(text.substr(start, at + 2 - start));
        out.append("]]><![CDATA[");
        start = at + 2;
    }
    out.append(text.substr(start));
}

}  // namespace lyrebox
