#include "library/analysis/FilenameAnalyzer.h"

#include "library/analysis/FilenameFilter.h"
#include "library/analysis/FilenameTokenizer.h"

#include <algorithm>

namespace lucene::analysis::filename {

namespace {

using lucene::analysis::Token;
using lucene::analysis::TokenStream;

// One reusable chain: the top filter owns the rest; the tokenizer pointer is
// kept to re-point it at the next reader.
class Chain : public TokenStream {
public:
    explicit Chain(lucene::util::Reader* reader)
        : tokenizer_(new FilenameTokenizer(reader)),
          top_(new lucene::analysis::LowerCaseFilter(new FilenameFilter(tokenizer_, true), true)) {}
    ~Chain() override { delete top_; }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    Token* next(Token* token) override { return top_->next(token); }
    void close() override { top_->close(); }
    void repoint(lucene::util::Reader* reader) { tokenizer_->reset(reader); }

private:
    FilenameTokenizer* tokenizer_;  // owned through top_
    TokenStream* top_;
};

}  // namespace

FilenameAnalyzer::FilenameAnalyzer() = default;
FilenameAnalyzer::~FilenameAnalyzer() = default;  // the base deletes the cached chains

TokenStream* FilenameAnalyzer::tokenStream(const TCHAR* /*fieldName*/, lucene::util::Reader* reader) {
    return new lucene::analysis::LowerCaseFilter(
        new FilenameFilter(new FilenameTokenizer(reader), true), true);
}

TokenStream* FilenameAnalyzer::reusableTokenStream(const TCHAR* /*fieldName*/,
                                                   lucene::util::Reader* reader) {
    auto* chain = static_cast<Chain*>(getPreviousTokenStream());
    if (chain == nullptr) {
        chain = new Chain(reader);
        setPreviousTokenStream(chain);
    } else {
        chain->repoint(reader);
    }
    return chain;
}

std::wstring widen(std::string_view bytes) {
    std::wstring text;
    appendWidened(bytes, text);
    return text;
}

void appendWidened(std::string_view bytes, std::wstring& text) {
    const std::size_t start = text.size();
    text.resize(start + bytes.size());
    std::transform(bytes.begin(), bytes.end(), text.begin() + static_cast<std::ptrdiff_t>(start),
                   [](char byte) { return static_cast<TCHAR>(static_cast<unsigned char>(byte)); });  // no sign extension
}

std::string narrow(const TCHAR* text, std::size_t length) {
    std::string bytes;
    bytes.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes.push_back(static_cast<char>(static_cast<unsigned char>(text[i])));
    }
    return bytes;
}

std::string narrow(const TCHAR* text) {
    return text == nullptr ? std::string() : narrow(text, wcslen(text));
}

std::vector<std::string> analyzeName(lucene::analysis::Analyzer& analyzer, std::string_view name) {
    const std::wstring text = widen(name);
    lucene::util::StringReader reader(text.c_str(), static_cast<int32_t>(text.size()), false);
    std::vector<std::string> terms;
    TokenStream* stream = analyzer.tokenStream(L"name", &reader);
    Token token;
    while (stream->next(&token) != nullptr) {
        terms.push_back(narrow(token.termBuffer(), token.termLength()));
    }
    stream->close();
    delete stream;
    return terms;
}

}  // namespace lucene::analysis::filename
