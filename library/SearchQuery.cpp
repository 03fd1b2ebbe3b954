#include "library/SearchQuery.h"

#include "library/SearchLimits.h"

#include <cstdlib>
#include <string_view>

namespace lyrebox {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
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

// A fuzzy term ("word~0.7") needs a similarity below 1; the parser leaks the
// term when it refuses a greater one.
bool fuzzyOutOfRange(const std::string& text, std::size_t start) {
    std::size_t end = start;
    while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == '.')) {
        ++end;
    }
    if (end == start) {
        return false;
    }
    return std::strtod(text.substr(start, end - start).c_str(), nullptr) >= 1.0;
}

}  // namespace

std::optional<std::string> prepareQuery(const std::string& query) {
    // The parser reads a C string: it ends at the first NUL, and so does this.
    std::string text = query.substr(0, query.find('\0'));
    // A phrase ("...") is read whole by the parser's lexer, brackets and
    // colons inside it included.
    enum class State { Normal, Phrase } state = State::Normal;
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (state) {
            case State::Phrase:
                if (c == '\\') {
                    ++i;
                } else if (c == '"') {
                    state = State::Normal;
                }
                continue;
            case State::Normal:
                break;
        }
        if (c == '\\') {
            if (i + 1 == text.size()) {
                text[i] = ' ';  // escapes nothing, which the parser rejects (and leaks on)
            }
            ++i;  // the next character is literal
        } else if (c == '"') {
            state = State::Phrase;
        } else if (c == '[' || c == ']' || c == '{' || c == '}') {
            text[i] = ' ';  // no range queries on names: the parser leaks on bad ones
        } else if (c == '(') {
            if (++depth > kMaxQueryNesting) {
                return std::nullopt;
            }
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (c == ')') {
            text[i] = ' ';  // closes nothing: a separator, as in a file name
        } else if (c == '-' || c == '+') {
            const bool blankBefore = i == 0 || isBlank(text[i - 1]);
            const bool blankAfter = i + 1 == text.size() || isBlank(text[i + 1]);
            if (blankBefore && blankAfter) {
                text[i] = ' ';
            }
        } else if (c == '^' && !(i + 1 < text.size() && isDigit(text[i + 1]))) {
            text[i] = ' ';  // a boost without its number, which the parser rejects (and leaks on)
        } else if (c == '~' && (i == 0 || !(isWordByte(text[i - 1]) || text[i - 1] == '"' || text[i - 1] == '*' ||
                                            text[i - 1] == '?' || text[i - 1] == '.'))) {
            text[i] = ' ';  // follows no term or phrase: the same
        } else if (c == '~' && text[i - 1] != '"' && fuzzyOutOfRange(text, i + 1)) {
            return std::nullopt;
        } else if (c == ':') {
            text[i] = ' ';
            if (nameFieldBefore(text, i)) {
                text.replace(i - 4, 4, 4, ' ');
            }
        }
    }
    // Unclosed, the parser fails after building clauses, and leaks them.
    if (depth > 0 || state != State::Normal) {
        return std::nullopt;
    }
    return text;
}

}  // namespace lyrebox
