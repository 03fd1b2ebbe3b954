// File-name analysis: the terms that names and query words become.
#include "library/analysis/FilenameAnalyzer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using lucene::analysis::filename::analyzeName;
using lucene::analysis::filename::FilenameAnalyzer;
using Terms = std::vector<std::string>;

Terms terms(std::string_view name) {
    static FilenameAnalyzer analyzer;
    return analyzeName(analyzer, name);
}

struct Example {
    std::string name;
    Terms expected;
};

TEST(FilenameAnalyzer, WorkedExamples) {
    const std::vector<Example> examples = {
        {"01 - Artist Name - Song Title", {"01", "artist", "name", "song", "title"}},
        {"AC_DC - Back_In_Black", {"ac", "dc", "back", "in", "black"}},
        {"U.S.A. Song", {"usa", "song"}},
        {"Mr. Jones", {"mr", "jones"}},
        {"My.Song.Name", {"my.song.name"}},
        {"Artist-Title", {"artist", "title"}},
        {"Live 2005-06-12", {"live", "2005", "-06", "-12"}},
        {"1.5 Mix", {"1.5", "mix"}},
        {"Track 10.2.3.4", {"track", "10.2.3.4"}},
        {"Rock'n'Roll", {"rock'n", "roll"}},
        {"Tom's Diner", {"tom", "diner"}},
        {"Guns N' Roses", {"guns", "n", "roses"}},
        {"AT&T", {"at&t"}},
        {"(Remix) [Live]", {"remix", "live"}},
        {"x_y.z_w", {"x", "y.z_w"}},
        {"Vol. 2", {"vol", "2"}},
        {"A.B. Side", {"ab", "side"}},
        {"A.B", {"a.b"}},
        {"It's O'Neil", {"it", "o'neil"}},
        {"a&b&c", {"a&b", "c"}},
        {"3.14.15", {"3.14.15"}},
        {"a@b.c", {"a@b.c"}},
        {"1-2", {"1", "-2"}},
    };
    for (const auto& example : examples) {
        EXPECT_EQ(terms(example.name), example.expected) << "name: " << example.name;
    }
}

TEST(FilenameAnalyzer, EdgeCases) {
    const std::vector<Example> examples = {
        {"", {}},
        {"   ", {}},
        {"-_.()[]!?,;'&@ ~", {}},
        {"-", {}},
        {"--", {}},
        {"-ab", {"ab"}},
        {"x -a", {"x"}},
        {".5", {"5"}},
        {"TOM'S", {"tom"}},
        {"'S", {"s"}},
        {"Mr.", {"mr"}},
        {"ab'", {"ab"}},
        {"a&", {"a"}},
        {"1.", {"1"}},
        {"1. x", {"1", "x"}},
        {"a..b", {"a", "b"}},
        {"www.site--xy", {"www.site", "xy"}},
        {"joe@firm", {"joe@firm"}},
        {"Song\x0bTitle", {"song", "title"}},
        {std::string("a\0b", 3), {"a", "b"}},
    };
    for (const auto& example : examples) {
        EXPECT_EQ(terms(example.name), example.expected) << "name: " << example.name;
    }
}

TEST(FilenameAnalyzer, LongWordIsCutAt255Characters) {
    const std::string word(300, 'q');
    const Terms result = terms(word);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0], std::string(255, 'q'));
    EXPECT_EQ(result[1], std::string(44, 'q'));  // the 256th letter is dropped
}

TEST(FilenameAnalyzer, LongDottedAndNumberRunsStayWithinLimit) {
    std::string dotted = "a";
    while (dotted.size() < 400) {
        dotted += ".b";
    }
    std::string digits(400, '7');
    for (const auto& name : {dotted, digits, std::string(300, 'x') + "'s", std::string(253, 'x') + "@y.z"}) {
        for (const auto& term : terms(name)) {
            EXPECT_LE(term.size(), 255u) << name;
        }
    }
}

TEST(FilenameAnalyzer, HighBytesBelongToNoClass) {
    EXPECT_EQ(terms("Caf\xE9"), Terms({"caf"}));
    EXPECT_EQ(terms("Caf\xE9 Society"), Terms({"caf", "society"}));
    EXPECT_EQ(terms("B\xC3\xB6rk Hom\xC3\xB3genic"), Terms({"b", "rk", "hom", "genic"}));
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c) {
        high.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(terms(high), Terms{});
    EXPECT_EQ(terms("x" + high + "y"), Terms({"x", "y"}));
}

TEST(FilenameAnalyzer, RandomNamesGiveOnlyBoundedLowerCaseTerms) {
    // Names from an alphabet rich in the characters the grammar cares about.
    const std::string alphabet = std::string("aZ09.-_'&@ ()[]\t") + std::string("\x00\x80\xE9\xFF", 4);
    std::mt19937 random(6);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1), length(0, 600);
    std::uniform_int_distribution<int> run(1, 3);
    std::uniform_int_distribution<int> longRun(1, 300);
    for (int round = 0; round < 3000; ++round) {
        std::string name;
        for (std::size_t n = length(random); name.size() < n;) {
            const char c = alphabet[pick(random)];
            name.append(static_cast<std::size_t>(c == 'a' && round % 7 == 0 ? longRun(random) : run(random)), c);
        }
        for (const auto& term : terms(name)) {
            ASSERT_FALSE(term.empty()) << name;
            ASSERT_LE(term.size(), 255u) << name;
            for (char c : term) {
                ASSERT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                            std::string_view(".-_'&@").find(c) != std::string_view::npos)
                    << "term " << term << " of " << name;
            }
        }
    }
}

TEST(FilenameAnalyzer, OffsetsAndTypesOfTokens) {
    using namespace lucene::analysis;
    FilenameAnalyzer analyzer;
    const std::wstring text = L"Vol. 2 U.S.A.";
    lucene::util::StringReader reader(text.c_str(), static_cast<int32_t>(text.size()), false);
    TokenStream* stream = analyzer.tokenStream(L"name", &reader);
    Token token;
    std::vector<std::pair<int, int>> offsets;
    std::vector<std::wstring> types;
    while (stream->next(&token) != nullptr) {
        offsets.emplace_back(token.startOffset(), token.endOffset());
        types.emplace_back(token.type());
    }
    delete stream;
    EXPECT_EQ(offsets, (std::vector<std::pair<int, int>>{{0, 3}, {5, 6}, {7, 13}}));
    EXPECT_EQ(types, (std::vector<std::wstring>{L"<ALPHANUM>", L"<NUM>", L"<ACRONYM>"}));
}

TEST(FilenameAnalyzer, ReusableStreamServesManyNames) {
    using namespace lucene::analysis;
    FilenameAnalyzer analyzer;
    for (const std::wstring text : {L"Tom's Diner", L"AC_DC", L"My.Song.Name"}) {
        lucene::util::StringReader reader(text.c_str(), static_cast<int32_t>(text.size()), false);
        TokenStream* stream = analyzer.reusableTokenStream(L"name", &reader);
        Token token;
        int count = 0;
        while (stream->next(&token) != nullptr) {
            ++count;
        }
        stream->close();
        EXPECT_GT(count, 0);
    }
}

}  // namespace
