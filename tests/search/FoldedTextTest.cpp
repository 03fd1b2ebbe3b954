// Folding of names and query words into plain lower-case words.
#include "library/analysis/FoldedText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using lucene::analysis::filename::foldedWordsUtf8;
using Words = std::vector<std::string>;

struct Case {
    std::string text;
    Words words;
};

TEST(FoldedText, WordsFound) {
    const std::vector<Case> cases = {
        {"01 - Artist Name - Song Title", {"01", "artist", "name", "song", "title"}},
        {"B\xC3\xA9la Kov\xC3\xA1" "cs", {"bela", "kovacs"}},                  // NFC accents
        {"Cafe\xCC\x81 Zoe\xCC\x88", {"cafe", "zoe"}},                          // NFD: letter + combining mark
        {"Gar\xC3\xA7ons", {"garcons"}},
        {"Stra\xC3\x9F" "e", {"strasse"}},                                      // ß
        {"\xC3\x98ystein S\xC3\xB8rensen", {"oystein", "sorensen"}},             // Ø ø
        {"\xC3\x86on \xC3\xA6ther", {"aeon", "aether"}},                        // Æ æ
        {"\xC5\x81\xC3\xB3" "d\xC5\xBA", {"lodz"}},                             // Ł ó ź
        {"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE \xD0\x93\xD1\x80\xD1\x83\xD0\xBF\xD0\xBF\xD0\xB0",   // Cyrillic stays
         {"\xD0\xBA\xD0\xB8\xD0\xBD\xD0\xBE", "\xD0\xB3\xD1\x80\xD1\x83\xD0\xBF\xD0\xBF\xD0\xB0"}},
        {"\xCE\x86\xCE\xBB\xCF\x86\xCE\xB1 \xCE\x92\xCE\xAE\xCF\x84\xCE\xB1",              // Greek stays, tonos goes
         {"\xCE\xB1\xCE\xBB\xCF\x86\xCE\xB1", "\xCE\xB2\xCE\xB7\xCF\x84\xCE\xB1"}},
        {"Caf\xE9 Cr\xE8me", {"cafe", "creme"}},                                // not UTF-8: read as Latin-1
        {"Ma\xDF" "e \xFF", {"masse", "y"}},
        {"O'Malley [Live] (Remix) AC/DC", {"o", "malley", "live", "remix", "ac", "dc"}},
        {"Track_10-2005", {"track", "10", "2005"}},
        {"Vol.2 - Mr. Jones.", {"vol.2", "mr", "jones"}},                        // dots join only inside a word
        {"\xE2\x80\x9CQuoted\xE2\x80\x9D \xE2\x80\x94 dash", {"quoted", "dash"}},
        {"", {}},
        {" - ()!? ", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(foldedWordsUtf8(c.text), c.words) << c.text;
    }
}

TEST(FoldedText, NfcAndNfdGiveTheSameWords) {
    EXPECT_EQ(foldedWordsUtf8("\xC3\xA9t\xC3\xA9"), foldedWordsUtf8("e\xCC\x81te\xCC\x81"));
    EXPECT_EQ(foldedWordsUtf8("\xC3\xA9t\xC3\xA9"), Words{"ete"});
}

TEST(FoldedText, LongWordsAreCutToATermsLength) {
    const auto words = foldedWordsUtf8(std::string(300, 'a'));
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].size(), 255u);
}

TEST(FoldedText, UniqueWordsSkipRepeats) {
    std::wstring joined;
    std::vector<std::size_t> ends;
    lucene::analysis::filename::addFoldedWords("Artist - Album", joined, ends);
    lucene::analysis::filename::addFoldedWords("01 - ARTIST - Title - Caf\xC3\xA9 - cafe - Al", joined, ends);
    std::vector<std::wstring> words;
    for (std::size_t start = 0, i = 0; i < ends.size(); start = ends[i++]) words.push_back(joined.substr(start, ends[i] - start));
    // "al" is a word of its own, not the start of "album".
    EXPECT_EQ(words, (std::vector<std::wstring>{L"artist", L"album", L"01", L"title", L"cafe", L"al"}));
}

}  // namespace
