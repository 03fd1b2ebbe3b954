#include "library/analysis/FilenameTokenizer.h"

namespace lucene::analysis::filename {

const TCHAR* const kTokenTypeNames[kTokenTypeCount] = {
    L"<EOF>", L"<UNKNOWN>", L"<ALPHANUM>", L"<APOSTROPHE>", L"<ACRONYM>",
    L"<COMPANY>", L"<EMAIL>", L"<HOST>", L"<NUM>",
};

namespace {

// Character classes on the values 0-255; anything else belongs to no class.
bool isLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isAlnum(int c) { return isLetter(c) || isDigit(c); }
bool isSpace(int c) { return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x20; }

constexpr std::int32_t kMaxLength = FilenameTokenizer::kMaxTokenLength;
// The continuations (".", "'", "@", "&") need room for one more character.
constexpr std::int32_t kContinueBelow = kMaxLength - 1;

}  // namespace

using lucene::analysis::Token;

bool FilenameTokenizer::Text::contains(int c) const {
    for (std::int32_t i = 0; i < length; ++i) {
        if (buffer[i] == static_cast<TCHAR>(c)) {
            return true;
        }
    }
    return false;
}

FilenameTokenizer::FilenameTokenizer(lucene::util::Reader* reader)
    : Tokenizer(reader), source_(reader) {}

FilenameTokenizer::~FilenameTokenizer() = default;

void FilenameTokenizer::reset(lucene::util::Reader* reader) {
    Tokenizer::reset(reader);
    source_.reset(reader);
    readPosition_ = -1;
    tokenStart_ = -1;
}

void FilenameTokenizer::close() {
    Tokenizer::close();
    // The reader is the caller's and may go away now; never read it again.
    source_.reset(nullptr);
}

int FilenameTokenizer::read() {
    ++readPosition_;
    return source_.read();
}

void FilenameTokenizer::giveBack() {
    source_.giveBack();
    --readPosition_;
}

// True when the scan that began at mark took nothing worth keeping: it read
// nothing, or only one character that cannot continue a token.
bool FilenameTokenizer::nothingRead(std::int32_t mark, int c) const {
    if (readPosition_ == mark) {
        return true;
    }
    return readPosition_ == mark + 1 &&
           (isSpace(c) || !(isAlnum(c) || c == '.' || c == '-' || c == '_'));
}

bool FilenameTokenizer::emit(Token* token, const Text& text, TokenType type) {
    token->setStartOffset(tokenStart_);
    token->setEndOffset(tokenStart_ + text.length);
    token->setType(tokenTypeName(type));
    text.buffer[text.length] = 0;  // QueryParser reads the text as a C string
    token->setTermLength(text.length);
    return true;
}

Token* FilenameTokenizer::next(Token* token) {
    while (!atEnd()) {
        const int c = read();
        if (isLetter(c)) {
            tokenStart_ = readPosition_;
            return scanWord(token, c) ? token : nullptr;
        }
        if (isDigit(c) || c == '-') {
            tokenStart_ = readPosition_;
            token->clear();
            Text text{token->resizeTermBuffer(kMaxLength + 1), 0};
            if (scanNumber(token, text, false, c)) {
                return token;
            }
        }
        // Every other character (blanks, "_", brackets, ".", punctuation,
        // bytes above 0x7F) separates tokens.
    }
    return nullptr;
}

bool FilenameTokenizer::scanWord(Token* token, int first) {
    token->clear();
    Text text{token->resizeTermBuffer(kMaxLength + 1), 0};
    text.append(first);
    int c = first;
    while (!atEnd()) {
        c = read();
        if (!isAlnum(c) || text.length >= kMaxLength) {
            break;
        }
        text.append(c);
    }
    if (!atEnd() && text.length < kContinueBelow) {
        switch (c) {
            case '.':
                text.append('.');
                return scanDotted(token, text, kUnknown);
            case '\'':
                text.append('\'');
                return scanApostrophe(token, text);
            case '@':
                text.append('@');
                return scanAt(token, text);
            case '&':
                text.append('&');
                return scanAmpersand(token, text);
            default:
                break;
        }
    }
    return emit(token, text, kAlphanum);
}

// A number, or with previous text the further groups of a dotted number
// ("10.2" then ".3.4"), which makes it a host. False when no token results.
bool FilenameTokenizer::scanNumber(Token* token, Text& text, bool hasPrevious, int first) {
    const TokenType type = hasPrevious ? kHost : kNum;
    if (!hasPrevious) {
        text.length = 0;
    }
    if (text.length >= kMaxLength) {
        return false;
    }
    text.append(first);
    const bool leadingSign = first == '-';
    int c = first;
    auto readDigits = [&] {
        while (!atEnd()) {
            c = read();
            if (!isDigit(c) || text.length >= kMaxLength) {
                break;
            }
            text.append(c);
        }
    };
    readDigits();
    if (text.length < 2 && leadingSign && c != '.') {
        if (!atEnd()) {
            giveBack();
        }
        return false;
    }
    if (!atEnd()) {
        if (c == '.') {
            if (text.length >= kMaxLength) {
                return false;
            }
            text.append('.');
            readDigits();
            if (!isDigit(c) && c != '.') {
                giveBack();
            } else if (!atEnd() && c == '.' && isDigit(source_.peek())) {
                return scanNumber(token, text, true, '.');
            }
        } else {
            giveBack();
        }
    }
    if (text.endsWith('.')) {
        text.removeLast();
        giveBack();
    }
    if (text.endsWith('-')) {
        return false;
    }
    return emit(token, text, type);
}

// Continues a token after a "." or "@": segments of letters, digits and "_"
// joined by single dots or dashes. Decides between acronym, dotted word and
// plain word.
bool FilenameTokenizer::scanDotted(Token* token, Text& text, TokenType type) {
    const std::int32_t mark = readPosition_;
    const int p = source_.peek();
    int c = p;
    if (p != '.' && p != '-') {
        bool previousDot = text.endsWith('.');
        bool previousDash = text.endsWith('-');
        while (!atEnd() && text.length < kContinueBelow) {
            c = read();
            const bool dot = c == '.';
            const bool dash = c == '-';
            if (!(isAlnum(c) || c == '_' || dot || dash)) {
                break;
            }
            if ((dot || dash) && (previousDot || previousDash)) {
                // Two separators in a row end the token; a trailing dot stays
                // for the acronym test below, a trailing dash goes.
                if (previousDash) {
                    text.removeLast();
                }
                break;
            }
            text.append(c);
            previousDot = dot;
            previousDash = dash;
        }
    }

    if (nothingRead(mark, c)) {
        if (text.endsWith('.')) {
            text.removeLast();
        }
        if (!text.contains('.')) {
            type = kAlphanum;
        }
    } else if (text.endsWith('.')) {
        // An acronym has a letter at every even index and a dot at every odd
        // one: "U.S.A."
        bool acronym = true;
        for (std::int32_t i = 0; i < text.length - 1; ++i) {
            const int ch = static_cast<int>(text.buffer[i]);
            if ((i % 2 == 0) ? !isLetter(ch) : ch != '.') {
                acronym = false;
                break;
            }
        }
        if (acronym) {
            type = kAcronym;
        } else {
            text.removeLast();
            if (!text.contains('.')) {
                type = kAlphanum;
            }
        }
    }

    if (!atEnd()) {
        if (c == '@' && text.length < kContinueBelow) {
            text.append('@');
            return scanAt(token, text);
        }
        giveBack();
    }
    return emit(token, text, type);
}

bool FilenameTokenizer::scanApostrophe(Token* token, Text& text) {
    const std::int32_t mark = readPosition_;
    TokenType type = kApostrophe;
    int c = '\'';
    while (!atEnd()) {
        c = read();
        if (!isLetter(c) || text.length >= kMaxLength) {
            break;
        }
        text.append(c);
    }
    if (text.endsWith('\'') || nothingRead(mark, c)) {
        text.removeLast();
        type = kAlphanum;
    }
    if (!atEnd()) {
        giveBack();
    }
    return emit(token, text, type);
}

bool FilenameTokenizer::scanAt(Token* token, Text& text) {
    scanDotted(token, text, kEmail);
    // A company name ("name@firm") holds no dots or digits.
    bool plain = true;
    for (std::int32_t i = 0; i < text.length && plain; ++i) {
        const int ch = static_cast<int>(text.buffer[i]);
        plain = !(ch == '.' || isDigit(ch));
    }
    if (plain) {
        emit(token, text, kCompany);
    }
    return true;
}

bool FilenameTokenizer::scanAmpersand(Token* token, Text& text) {
    const std::int32_t mark = readPosition_;
    int c = '&';
    while (!atEnd()) {
        c = read();
        if (!isAlnum(c) || text.length >= kMaxLength) {
            break;
        }
        text.append(c);
    }
    if (nothingRead(mark, c)) {
        text.removeLast();
        return emit(token, text, kAlphanum);
    }
    if (!atEnd()) {
        giveBack();
    }
    return emit(token, text, kCompany);
}

}  // namespace lucene::analysis::filename
