#include "library/analysis/FoldedText.h"

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>

namespace lucene::analysis::filename {

namespace {

// Decomposition and mark removal first, so that "é" in either normal form
// becomes "e"; then the plain-Latin spelling of the letters left (ß, ø, æ,
// ł, þ...), which leaves other scripts alone; then lower case.
constexpr const char* kFoldRules = "NFD; [:Nonspacing Mark:] Remove; NFC; Latin-ASCII; Lower; NFC";

// Words longer than a CLucene term can be are cut there.
constexpr std::size_t kMaxWordLength = 255;

const icu::Transliterator* threadTransliterator() {
    thread_local std::unique_ptr<icu::Transliterator> folder = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(
            icu::Transliterator::createInstance(kFoldRules, UTRANS_FORWARD, status));
        if (U_FAILURE(status)) made.reset();
        return made;
    }();
    return folder.get();
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isAsciiWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Where fold puts its words: a list of them, or one text of them all.
struct WordList {
    std::vector<std::wstring>& words;
};
struct JoinedWords {
    std::wstring& text;
    std::vector<std::size_t>& ends;
};

void cut(std::wstring& word) {
    if (word.size() > kMaxWordLength) word.resize(kMaxWordLength);
}

void pushWord(std::wstring& word, WordList& out) {
    if (word.empty()) return;
    cut(word);
    out.words.push_back(word);
    word.clear();
}

void pushWord(std::wstring& word, JoinedWords& out) {
    if (word.empty()) return;
    cut(word);
    const std::wstring_view all(out.text);
    std::size_t start = 0;
    for (const std::size_t end : out.ends) {
        if (all.substr(start, end - start) == word) {
            word.clear();
            return;
        }
        start = end;
    }
    out.text += word;
    out.ends.push_back(out.text.size());
    word.clear();
}

// The word being built, kept between calls so that it is not allocated anew.
std::wstring& wordBuffer() {
    thread_local std::wstring word;
    word.clear();
    return word;
}

// Plain ASCII, the common case, needs no ICU: lower case and split.
template <class Out>
void foldAscii(std::string_view text, Out& out) {
    std::wstring& word = wordBuffer();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isAsciiWordByte(c)) {
            word.push_back(static_cast<wchar_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
        } else if (c == '.' && !word.empty() && i + 1 < text.size() && isAsciiWordByte(text[i + 1])) {
            word.push_back(L'.');  // a dot between word characters joins them
        } else {
            pushWord(word, out);
        }
    }
    pushWord(word, out);
}

icu::UnicodeString decode(std::string_view text) {
    icu::UnicodeString decoded;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    bool valid = true;
    for (std::int32_t i = 0; i < length && valid;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) valid = false;
        else decoded.append(c);
    }
    if (valid) return decoded;
    decoded.remove();  // not UTF-8: every byte is its Latin-1 character
    for (std::int32_t i = 0; i < length; ++i) decoded.append(static_cast<UChar32>(bytes[i]));
    return decoded;
}

template <class Out>
void foldUnicode(std::string_view text, Out& out) {
    icu::UnicodeString folded = decode(text);
    if (const icu::Transliterator* folder = threadTransliterator()) {
        folder->transliterate(folded);
    } else {
        folded.toLower();  // no transliterator (ICU data missing): lower case at least
    }
    std::wstring& word = wordBuffer();
    for (std::int32_t i = 0; i < folded.length();) {
        const UChar32 c = folded.char32At(i);
        i += U16_LENGTH(c);
        if (u_isalnum(c)) {
            word.push_back(static_cast<wchar_t>(c));
        } else if (c == '.' && !word.empty() && i < folded.length() && u_isalnum(folded.char32At(i))) {
            word.push_back(L'.');  // a dot between word characters joins them
        } else {
            pushWord(word, out);
        }
    }
    pushWord(word, out);
}

template <class Out>
void fold(std::string_view text, Out& out) {
    if (isAscii(text)) foldAscii(text, out);
    else foldUnicode(text, out);
}

}  // namespace

std::vector<std::wstring> foldedWords(std::string_view text) {
    std::vector<std::wstring> words;
    WordList out{words};
    fold(text, out);
    return words;
}

void addFoldedWords(std::string_view text, std::wstring& joined, std::vector<std::size_t>& ends) {
    JoinedWords out{joined, ends};
    fold(text, out);
}

std::string toUtf8(const std::wstring& word) {
    std::string out;
    for (wchar_t c : word) {
        const auto cp = static_cast<std::uint32_t>(c);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::vector<std::string> foldedWordsUtf8(std::string_view text) {
    std::vector<std::string> out;
    for (const auto& word : foldedWords(text)) out.push_back(toUtf8(word));
    return out;
}

}  // namespace lucene::analysis::filename
