// Library search over a real index: query syntax, limits, failures, and
// searches that run while a pass rebuilds the index.
#include "tests/search/SearchFixture.h"

#include "library/SearchQuery.h"

#include <filesystem>
#include <optional>
#include <thread>

namespace lyrebox::test {
namespace {

using SearchTest = SearchFixture;

TEST_F(SearchTest, EveryWordMustMatch) {
    tree.write("m/Red Song.mp3");
    tree.write("m/Blue Song.mp3");
    tree.write("m/Red Car.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(paths(find("red song")), std::vector<std::string>{tree.file("m/Red Song.mp3")});
    EXPECT_EQ(paths(find("SONG blue")), std::vector<std::string>{tree.file("m/Blue Song.mp3")});
    EXPECT_EQ(find("red OR blue").size(), 3u);  // the query syntax still works
    EXPECT_EQ(find("song").size(), 2u);
}

TEST_F(SearchTest, ResultsCarryStoredFieldsAndNoTime) {
    tree.writePattern("m/Track One.mp3", 321);
    tree.folder("m/Track Folder");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    auto results = find("track");
    ASSERT_EQ(results.size(), 2u);
    std::sort(results.begin(), results.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    EXPECT_EQ(results[0].path, tree.file("m/Track Folder"));
    EXPECT_NE(results[0].attributes & 0x10u, 0u);
    EXPECT_EQ(results[1].path, tree.file("m/Track One.mp3"));
    EXPECT_EQ(results[1].size, 321u);
    EXPECT_EQ(results[1].lastWriteTime, 0u);
}

TEST_F(SearchTest, LoneDashOrPlusBetweenBlanksSeparatesWords) {
    tree.write("m/Artist - Title.mp3");
    tree.write("m/Artist - Other.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(paths(find("Artist - Title")), std::vector<std::string>{tree.file("m/Artist - Title.mp3")});
    EXPECT_EQ(paths(find("Artist + Title")), std::vector<std::string>{tree.file("m/Artist - Title.mp3")});
    // A sign attached to a word is still an operator.
    EXPECT_EQ(paths(find("artist -title")), std::vector<std::string>{tree.file("m/Artist - Other.mp3")});
    // A colon separates words; "name:" is the searched field itself.
    EXPECT_EQ(paths(find("Artist:Title")), std::vector<std::string>{tree.file("m/Artist - Title.mp3")});
    EXPECT_EQ(paths(find("name:title")), std::vector<std::string>{tree.file("m/Artist - Title.mp3")});
}

TEST_F(SearchTest, NulByteSeparatesWords) {
    tree.write("m/Artist - Title.mp3");
    tree.write("m/Artist - Other.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(paths(find(std::string("artist\0title", 12))),
              std::vector<std::string>{tree.file("m/Artist - Title.mp3")});
}

TEST_F(SearchTest, BracketsAndMarksInNamesSeparateWords) {
    tree.write("m/Song (Remix) [Live].mp3");
    tree.write("m/Song (Remix).mp3");
    tree.write("m/Track~1.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(paths(find("Song (Remix) [Live]")), std::vector<std::string>{tree.file("m/Song (Remix) [Live].mp3")});
    EXPECT_EQ(paths(find("Track~1")), std::vector<std::string>{tree.file("m/Track~1.mp3")});
}

TEST(PrepareQuery, SignsFieldsAndBrackets) {
    const std::string deep = std::string(33, '(') + "a" + std::string(33, ')');
    const std::string deepest = std::string(32, '(') + "a" + std::string(32, ')');
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"Artist - Title", "Artist   Title"},
        {"- a +", "  a  "},
        {"a\t+\tb", "a\t \tb"},
        {"a -b", "a -b"},
        {"a- b", "a- b"},
        {"a -- b", "a -- b"},
        {"1-2", "1-2"},
        {"AC:DC", "AC DC"},
        {"Live: Tonight", "Live  Tonight"},
        {"name:x", "     x"},
        {"(name:x)", "(     x)"},
        {"rename:x", "rename x"},
        {"\"a:b - c\"", "\"a:b - c\""},
        {"a\\:b", "a\\:b"},
        {"((a) b)", "((a) b)"},
        {"red ) blue", "red   blue"},
        {"(a) b] c}", "(a) b  c "},
        {"\"(\" a", "\"(\" a"},
        {"a \\( b", "a \\( b"},
        {"(red blue", std::nullopt},
        {std::string("(red\0)", 5), std::nullopt},
        {"(a [b TO c)]", "(a  b TO c) "},
        {"\"[x]\" {d TO e:f}", "\"[x]\"  d TO e f "},
        {"red \"foo", std::nullopt},
        {"[a TO", " a TO"},
        {"beat~0.6 \"a b\"~3", "beat 0.6 \"a b\" 3"},
        {"beat~1", "beat 1"},
        {"(a) b\\", "(a) b "},
        {"(gt)^ a^2 b^x ~c (d)~", "(gt)  a 2 b x  c (d) "},
        {"a~~ \"b c\"~2 d.~", "a   \"b c\" 2 d. "},
        {"beat~2.5", "beat 2.5"},
        {"x:(a b", std::nullopt},
        {deepest, deepest},
        {deep, std::nullopt},
        // A NUL is a blank, also where the parser would have ended the query
        // before a bracket was closed.
        {std::string("(a\0b)", 5), "(a b)"},
        {std::string("(red\0blue)", 10), "(red blue)"},
        {std::string("\"a\0b\"", 5), "\"a b\""},
        // Range, similarity and boost marks are blanks outside phrases; each
        // of these made the parser fail and leak the group before it.
        {"x (Remix)]", "x (Remix) "},
        {"Song (Remix) [Live]", "Song (Remix)  Live "},
        {"(Rem[ii) x]", "(Rem ii) x "},
        {"{a TO b}", " a TO b "},
        {"(a)^x", "(a) x"},
        {"a~1", "a 1"},
        {"\"a b\"~2", "\"a b\" 2"},
        {"\"[a]~^\"", "\"[a]~^\""},
        {"a\\~", "a\\~"},
        // An escape with nothing after it is dropped; an open phrase is refused.
        {"(a) \\", "(a)  "},
        {"(a) \"b", std::nullopt},
        // "\u" starts a character code of four hexadecimal digits; a shorter
        // one is refused (the parser leaked the prefix term it was in).
        {"\\u*", std::nullopt},
        {"ab\\u00*", std::nullopt},
        {"\\uZZZZ x", std::nullopt},
        {"\"a \\u1\"", std::nullopt},
        {"\\u00e9t\\u00E9*", "\\u00e9t\\u00E9*"},
        {"\\\\u12 \\U1*", "\\\\u12 \\U1*"},
    };
    for (const auto& [query, expected] : cases) {
        EXPECT_EQ(prepareQuery(query), expected) << query;
    }
}

TEST_F(SearchTest, DirsOnlyFindsDirectoriesBehindManyFiles) {
    for (int i = 0; i < 600; ++i) tree.write("m/match " + std::to_string(i) + ".mp3");
    // Longer names score lower, so the directories rank after all the files.
    for (int i = 0; i < 3; ++i) tree.folder("m/match folder with a long name " + std::to_string(i));
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    const auto dirs = find("match", true);
    ASSERT_EQ(dirs.size(), 3u);
    for (const auto& entry : dirs) EXPECT_NE(entry.attributes & 0x10u, 0u) << entry.path;
    const auto all = find("match");
    ASSERT_EQ(all.size(), 500u);
    for (const auto& entry : all) EXPECT_EQ(entry.attributes & 0x10u, 0u) << entry.path;
}

TEST_F(SearchTest, AtMost500Results) {
    for (int i = 0; i < 800; ++i) tree.write("m/hit " + std::to_string(i) + ".mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    const auto results = paths(find("hit"));
    ASSERT_EQ(results.size(), 500u);
    auto unique = sorted(results);
    EXPECT_EQ(std::unique(unique.begin(), unique.end()), unique.end());
    std::vector<FileEntry> appended{FileEntry{"earlier", 0, 0, 0}};
    searcher.search("hit", appended, false);
    EXPECT_EQ(appended.size(), 501u);  // results are appended to what the caller had
}

TEST_F(SearchTest, RejectedOrEmptyQueriesFindNothing) {
    tree.write("m/foo.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    for (const std::string query : {"foo(", "\"foo", "*", "", " - ", "\xE9", "foo~1", "(foo"}) {
        EXPECT_TRUE(find(query).empty()) << query;
    }
    EXPECT_EQ(find("foo").size(), 1u);
    EXPECT_EQ(find("foo)").size(), 1u);  // a stray closing bracket separates words
    EXPECT_TRUE(find("fo\\u6*").empty());     // a character code cut short
    EXPECT_EQ(find("\\u0066oo").size(), 1u);  // a whole one is the character
}

TEST_F(SearchTest, DeeplyNestedQueriesAreRefusedBeforeParsing) {
    tree.write("m/Red Song.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(find("((red) AND (song))").size(), 1u);
    // Deep enough to overflow even a main thread's stack in the parser.
    const std::string deep = std::string(100000, '(') + "red" + std::string(100000, ')');
    EXPECT_TRUE(find(deep).empty());
}

TEST_F(SearchTest, SearchDuringAPassAnswersFromThePreviousIndex) {
    tree.write("m/Old Song.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    tree.write("m/New Song.mp3");
    std::vector<std::string> duringPass;
    PassInput input;
    input.dirs = {tree.file("m")};
    input.extensions = playableExtensions();
    input.afterWalk = [&] {
        // Every document of the new pass is added but not committed yet.
        std::thread([&] { duringPass = paths(find("song")); }).join();
    };
    ASSERT_EQ(passWith(input), PassResult::Published);
    EXPECT_EQ(duringPass, std::vector<std::string>{tree.file("m/Old Song.mp3")});
    EXPECT_EQ(find("song").size(), 2u);
}

TEST_F(SearchTest, SearchesBesideRepeatedPassesNeverSeeAnEmptyIndex) {
    for (int i = 0; i < 50; ++i) tree.write("m/Stable Name " + std::to_string(i) + ".mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    std::atomic<bool> done{false};
    std::atomic<int> searches{0}, wrong{0};
    std::thread reader([&] {
        LibrarySearcher own(indexPath());
        while (!done.load()) {
            std::vector<FileEntry> results;
            own.search("stable name", results, false);
            if (results.size() != 50u) ++wrong;
            ++searches;
        }
    });
    for (int i = 0; i < 15; ++i) EXPECT_EQ(pass({tree.file("m")}), PassResult::Published);
    done.store(true);
    reader.join();
    EXPECT_EQ(wrong.load(), 0) << "of " << searches.load() << " searches";
}

// The searcher stays open between searches; every pass must still be seen,
// also when a generation directory comes round again with no search between,
// and by searches running on several threads at once.
TEST_F(SearchTest, EveryPublishedPassIsSeenByTheNextSearch) {
    tree.write("m/First Song.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(find("song").size(), 1u);
    tree.write("m/Second Song.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    tree.write("m/Third Song.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);  // the first search's generation again
    EXPECT_EQ(find("song").size(), 3u);
    EXPECT_EQ(find("third").size(), 1u);

    std::filesystem::remove(tree.file("m/Second Song.mp3"));
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                if (find("song").size() != 2u || !find("second").empty()) ++wrong;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

// A repeated search is answered from the last answers of the open index;
// after a pass is published the same query searches the new index, also when
// the generation directory comes round again, and the answers of a query on
// the two kinds of listing (everything, folders only) are kept apart.
TEST_F(SearchTest, RepeatedSearchesNeverAnswerFromAnOlderIndex) {
    tree.write("m/Alpha Song.mp3");
    tree.write("m/Alpha Folder/Inner.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    const auto first = searcher.find("alpha", false);
    EXPECT_EQ(first.total, 2u);
    EXPECT_EQ(searcher.find("a", false).total, 2u);  // a one-letter prefix's sets are kept
    EXPECT_EQ(paths(searcher.find("alpha", false).items), paths(first.items));
    EXPECT_EQ(paths(searcher.find("alpha", true).items), std::vector<std::string>{tree.file("m/Alpha Folder")});

    tree.write("m/Alpha Second.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(searcher.find("alpha", false).total, 3u);
    EXPECT_EQ(searcher.find("a", false).total, 3u);
    std::filesystem::remove(tree.file("m/Alpha Song.mp3"));
    std::filesystem::rename(tree.file("m/Alpha Folder"), tree.file("m/Beta Folder"));
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);  // the first generation again
    const auto last = searcher.find("alpha", false);
    EXPECT_EQ(sorted(paths(last.items)), std::vector<std::string>{tree.file("m/Alpha Second.mp3")});
    EXPECT_EQ(last.total, 1u);
    EXPECT_FALSE(last.cut);
    EXPECT_TRUE(searcher.find("alpha", true).items.empty());
    EXPECT_EQ(searcher.find("alpha", false).total, 1u);
    EXPECT_EQ(paths(find("a")), std::vector<std::string>{tree.file("m/Alpha Second.mp3")});
}

}  // namespace
}  // namespace lyrebox::test
