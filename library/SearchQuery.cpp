#include "library/SearchQuery.h"

#include "library/SearchLimits.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace lyrebox {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// True when text[at, at + 4) are four hexadecimal digits.
bool fourHexDigits(const std::string& text, std::size_t at) {
    if (text.size() < at + 4) {
        return false;
    }
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at), text.begin() + static_cast<std::ptrdiff_t>(at + 4),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// True when text[end - 4, end) is the word "name" on its own.
bool nameFieldBefore(const std::string& text, std::size_t end) {
    constexpr std::string_view kField = "name";
    if (end < kField.size() || std::string_view(text).substr(end - kField.size(), kField.size()) != kField) {
        return false;
    }
    const std::size_t start = end - kField.size();
    return start == 0 || (!isWordByte(text[start - 1]) && text[start - 1] != '\\');
}

}  // namespace

std::optional<std::string> prepareQuery(const std::string& query) {
    std::string text = query;
    // The parser takes a C string and would stop at a NUL, searching for
    // less than was asked and perhaps meeting an unclosed "(" the checks
    // below never saw; the analyzer splits names at a NUL, so it is a blank.
    std::replace(text.begin(), text.end(), '\0', ' ');
    int depth = 0;
    bool inPhrase = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            if (i + 1 == text.size()) {
                text[i] = ' ';  // escapes nothing
                break;
            }
            if (text[i + 1] == 'u' && !fourHexDigits(text, i + 2)) {
                return std::nullopt;  // a character code cut short
            }
            ++i;  // the next character is literal
            continue;
        }
        if (c == '"') {
            inPhrase = !inPhrase;
            continue;
        }
        if (inPhrase) {
            continue;
        }
        if (c == '(') {
            if (++depth > kMaxQueryNesting) {
                return std::nullopt;
            }
        } else if (c == ')') {
            if (depth > 0) {
                --depth;
            } else {
                text[i] = ' ';  // closes nothing: the parser would reject the query
            }
        } else if (c == '-' || c == '+') {
            const bool blankBefore = i == 0 || isBlank(text[i - 1]);
            const bool blankAfter = i + 1 == text.size() || isBlank(text[i + 1]);
            if (blankBefore && blankAfter) {
                text[i] = ' ';
            }
        } else if (c == '[' || c == ']' || c == '{' || c == '}' || c == '~' || c == '^') {
            text[i] = ' ';  // "Song [Live]" means both words, not a range
        } else if (c == ':') {
            text[i] = ' ';
            if (nameFieldBefore(text, i)) {
                text.replace(i - 4, 4, 4, ' ');
            }
        }
    }
    if (depth > 0 || inPhrase) {
        return std::nullopt;
    }
    return text;
}

}  // namespace lyrebox
