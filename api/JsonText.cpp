#include "api/JsonText.h"

#include "api/PlayerText.h"
#include "library/LibraryText.h"

namespace lyrebox {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendUnicodeEscape(std::string& out, unsigned code) {
    out += "\\u";
    out += kHex[(code >> 12) & 0xF];
    out += kHex[(code >> 8) & 0xF];
    out += kHex[(code >> 4) & 0xF];
    out += kHex[code & 0xF];
}

// Length of the well-formed UTF-8 sequence at text[i] (1 to 4), or 0 when the
// bytes there are not one: overlong forms, surrogates and values past
// U+10FFFF count as invalid.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = byte(i);
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    const unsigned second = byte(i + 1);
    if (second < low || second > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for each byte that starts no valid sequence
            ++i;
            continue;
        }
        if (length == 1) {
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '<':
            case '>':
            case '&': appendUnicodeEscape(out, c); break;
            default:
                if (c < 0x20 || c == 0x7F) appendUnicodeEscape(out, c);
                else out += static_cast<char>(c);
            }
        } else if (length == 3 && c == 0xE2 && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                    static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
            appendUnicodeEscape(out, static_cast<unsigned char>(text[i + 2]) == 0xA8 ? 0x2028 : 0x2029);
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    out += '"';
}

void appendJsonPath(std::string& out, std::string_view path) {
    out += '"';
    out += percentEncode(path);
    out += '"';
}

void appendJsonFraction(std::string& out, double value) { out += formatPositionFraction(value); }

void appendJsonKey(std::string& out, std::string_view name, bool first) {
    if (!first) out += ',';
    out += '"';
    out += name;
    out += "\":";
}

std::int64_t fileTimeToUnixSeconds(std::uint64_t fileTime) {
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    return static_cast<std::int64_t>(fileTime / 10000000) - kSecondsFrom1601To1970;
}

}  // namespace lyrebox
