// The token streams the index writer takes for the searched fields must give
// exactly the terms of the analyzers they stand in for: FilenameAnalyzer for
// the names, CLucene's WhitespaceAnalyzer over the folded words.
#include "library/EntryTerms.h"
#include "library/LibraryText.h"
#include "library/analysis/FilenameAnalyzer.h"
#include "library/analysis/FoldedText.h"
#include "library/analysis/NameTokenStream.h"
#include "library/analysis/WordTokenStream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using lucene::analysis::Token;
using lucene::analysis::TokenStream;
using lucene::analysis::filename::FilenameAnalyzer;
using lucene::analysis::filename::NameTokenStream;
using lucene::analysis::filename::widen;
using lucene::analysis::filename::WordTokenStream;

// Terms and position increments, read with one reused Token as the writer does.
std::vector<std::wstring> drain(TokenStream& stream) {
    std::vector<std::wstring> terms;
    Token token;
    while (stream.next(&token) != nullptr) {
        terms.emplace_back(token.termBuffer(), token.termLength());
        terms.back() += L'#' + std::to_wstring(token.getPositionIncrement());
    }
    stream.close();
    return terms;
}

std::vector<std::wstring> analyzed(lucene::analysis::Analyzer& analyzer, const std::wstring& text) {
    lucene::util::StringReader reader(text.c_str(), static_cast<int32_t>(text.size()), false);
    TokenStream* stream = analyzer.reusableTokenStream(L"name", &reader);
    return drain(*stream);
}

std::vector<std::string> sampleNames() {
    std::vector<std::string> names = {
        "01 - Artist Name - Song Title", "AC_DC - Back_In_Black", "U.S.A. Song", "Mr. Jones", "My.Song.Name",
        "Live 2005-06-12", "Track 10.2.3.4", "Rock'n'Roll", "Tom's Diner", "AT&T me@firm.com x@y", "-5 -x 1. x",
        "", "...", "'''", std::string(255, 'A'), std::string(300, 'b') + " Tail", "Caf\xC3\xA9 \xE9t\xE9 \xB5 \xC0X",
    };
    for (int c = 1; c < 256; ++c) {
        names.push_back("Ab" + std::string(1, static_cast<char>(c)) + "Cd 1" + std::string(1, static_cast<char>(c)) +
                        "2");
    }
    const std::string alphabet = "aZ09.'@&-_ \t\xC3\xA9\x80\xFF";
    std::mt19937 random(20261209);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int i = 0; i < 3000; ++i) {
        std::string name;
        for (int n = length(random); n > 0; --n) name += alphabet[pick(random)];
        names.push_back(name);
    }
    return names;
}

TEST(NameTokenStream, GivesTheFilenameAnalyzersTermsForEveryName) {
    FilenameAnalyzer analyzer;
    NameTokenStream stream;
    for (const auto& name : sampleNames()) {
        const std::wstring text = widen(name);
        stream.setText(text.c_str(), static_cast<std::int32_t>(text.size()));
        EXPECT_EQ(drain(stream), analyzed(analyzer, text)) << name;
    }
}

// The walk and the writer make an entry's terms ahead of CLucene; read back
// through the streams the writer gives it, they must be the analyzers' own.
// One entry is refilled for every name, as a batch handed back is.
TEST(EntryTerms, GiveTheNameAnalyzersTermsAndTheFoldedWordsOfTheOwnName) {
    FilenameAnalyzer analyzer;
    lyrebox::EntryTerms terms(true);
    lyrebox::FoundEntry entry;
    WordTokenStream names;
    WordTokenStream folded;
    for (const auto& name : sampleNames()) {
        if (name.find('/') != std::string::npos) continue;  // no file name holds one
        entry.path = "/share/Folder W\xC3\xB6rds/" + name + ".mp3";
        entry.attributes = 0;
        entry.shareLength = 7;
        terms(entry);
        ASSERT_TRUE(entry.termsMade);
        EXPECT_EQ(entry.terms.size(), entry.termEnds.empty() ? 0 : entry.termEnds.back()) << "nothing after the last term";
        names.show(entry.terms, entry.termEnds, entry.foldedTerms, entry.termEnds.size());
        EXPECT_EQ(drain(names), analyzed(analyzer, widen(name))) << name;
        std::wstring words;
        std::vector<std::size_t> ends;
        lucene::analysis::filename::addFoldedWords(name, words, ends);
        WordTokenStream expected;
        expected.show(words, ends, 0, ends.size());
        folded.show(entry.terms, entry.termEnds, 0, entry.foldedTerms);
        EXPECT_EQ(folded.empty(), ends.empty());
        EXPECT_EQ(drain(folded), drain(expected)) << name;
    }
    // A share that is a single file folds its whole name; a directory keeps its dots.
    entry.path = "/share/Vol.2";
    entry.attributes = ::platform::FILE_ATTRIBUTE_DIRECTORY;
    entry.shareLength = 7;
    terms(entry);
    names.show(entry.terms, entry.termEnds, entry.foldedTerms, entry.termEnds.size());
    EXPECT_EQ(drain(names), std::vector<std::wstring>{L"vol.2#1"});
    entry.path = "/music/Caf\xC3\xA9.flac";
    entry.attributes = 0;
    entry.shareLength = 7;
    lyrebox::EntryTerms plain(false);
    plain(entry);
    EXPECT_EQ(entry.foldedTerms, 0u);
    terms(entry);
    folded.show(entry.terms, entry.termEnds, 0, entry.foldedTerms);
    EXPECT_EQ(drain(folded), std::vector<std::wstring>{L"cafe#1"});
}

std::wstring joined(const std::vector<std::wstring>& words) {
    std::wstring text;
    for (const auto& word : words) text += (text.empty() ? L"" : L" ") + word;
    return text;
}

TEST(WordTokenStream, GivesTheWhitespaceAnalyzersTermsOfTheJoinedWords) {
    lucene::analysis::WhitespaceAnalyzer whitespace;
    const std::vector<std::vector<std::wstring>> lists = {
        {},
        {L"one"},
        {L"artist", L"title", L"/album", L"/1990"},
        {L"caf\u00e9", L"\u65e5\u672c", L"/\U0001F600x", L"vol.2"},
        // A word longer than a term is cut as the tokenizer cuts it.
        {std::wstring(254, L'a'), L"/" + std::wstring(254, L'b'), L"/" + std::wstring(255, L'c'),
         std::wstring(256, L'd'), std::wstring(600, L'e'), L"end"},
    };
    WordTokenStream stream;
    for (const auto& words : lists) {
        stream.clear();
        for (const auto& word : words) stream.add(word);
        EXPECT_EQ(stream.empty(), words.empty());
        EXPECT_EQ(drain(stream), analyzed(whitespace, joined(words))) << words.size();
    }
}

TEST(WordTokenStream, MarkGoesInFrontAndCloseEndsTheWordsUntilTheNextList) {
    WordTokenStream stream;
    stream.add(L"own");
    stream.add(L"folder", L'/');
    Token token;
    ASSERT_NE(stream.next(&token), nullptr);
    stream.close();  // the writer stops early at its field length limit
    EXPECT_EQ(stream.next(&token), nullptr);
    stream.clear();
    stream.add(L"next");
    EXPECT_EQ(drain(stream), std::vector<std::wstring>{L"next#1"});
    stream.clear();
    stream.add(L"own");
    stream.add(L"folder", L'/');
    EXPECT_EQ(drain(stream), (std::vector<std::wstring>{L"own#1", L"/folder#1"}));
}

}  // namespace
