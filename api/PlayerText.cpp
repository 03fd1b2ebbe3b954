#include "api/PlayerText.h"

#include <array>
#include <charconv>
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

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence of an XML character at the start
// of text, or 0 when the bytes there cannot stand in a UTF-8 document.
std::size_t xmlCharLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return (lead >= 0x20 || lead == 0x09 || lead == 0x0A || lead == 0x0D) ? 1 : 0;
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
    else return 0;
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF) return 0;
    return length;
}

// Bytes that stand for themselves in a CDATA section: printable ASCII but
// "]", and tab, LF, CR. Every other byte needs a closer look.
constexpr std::array<bool, 256> kPlainCdataByte = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c) plain[static_cast<std::size_t>(c)] = c != ']';
    plain[0x09] = plain[0x0A] = plain[0x0D] = true;
    return plain;
}();

}  // namespace

void appendCdataText(std::string& out, std::string_view text) {
    if (out.capacity() - out.size() < text.size()) out.reserve(out.size() + text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        // Plain ASCII goes out in one piece; only "]" and other bytes need a look.
        std::size_t plain = i;
        while (plain < text.size() && kPlainCdataByte[static_cast<unsigned char>(text[plain])]) ++plain;
        if (plain > i) {
            out.append(text.substr(i, plain - i));
            i = plain;
            continue;
        }
        if (text.compare(i, 3, "]]>") == 0) {
            // "]]" stays in this section, ">" starts the next one.
            out += "]]]]><![CDATA[>";
            i += 3;
            continue;
        }
        const std::size_t length = xmlCharLength(text.substr(i));
        if (length == 0) {
            // A byte that is not text in a UTF-8 document (a name in another
            // encoding, a control byte in a tag) would make the whole document
            // unreadable for the client; it is shown as a replacement character.
            out += kReplacement;
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
}

}  // namespace lyrebox
