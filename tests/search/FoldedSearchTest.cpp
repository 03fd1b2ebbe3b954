// Searches that find what people type: accents and case folded, the last word
// as a prefix, folder names together with file names; after the name query's
// own results, without repeats, at most 500 in all.
#include "tests/search/SearchFixture.h"

#include "library/FoldedSearch.h"
#include "library/FolderRanges.h"
#include "library/MappedIndexDirectory.h"

#include <set>

namespace lyrebox::test {
namespace {

class FoldedSearchTest : public SearchFixture {
protected:
    void SetUp() override {
        tree.write("m/B\xC3\xA9la Kov\xC3\xA1" "cs - Dance.mp3");
        tree.write("m/Caf\xC3\xA9 del Mar.mp3");
        tree.write("m/Alpha Band/1999 - First Light/01 - Morning.mp3");
        tree.write("m/Alpha Band/1999 - First Light/02 - Evening.mp3");
        tree.write("m/Beta Group/Morning Again.ogg");
        tree.write("m/Gar\xC3\xA7ons - Zo\xC3\xAB.flac");
        tree.write("m/Stra\xC3\x9F" "enmusik.mp3");
        ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    }
    std::vector<std::string> found(const std::string& query, bool dirsOnly = false) {
        return sorted(paths(find(query, dirsOnly)));
    }
};

TEST_F(FoldedSearchTest, QueriesAsTyped) {
    const std::string kovacs = tree.file("m/B\xC3\xA9la Kov\xC3\xA1" "cs - Dance.mp3");
    const std::string morning = tree.file("m/Alpha Band/1999 - First Light/01 - Morning.mp3");
    const std::string again = tree.file("m/Beta Group/Morning Again.ogg");
    const std::string garcons = tree.file("m/Gar\xC3\xA7ons - Zo\xC3\xAB.flac");
    const struct {
        std::string query;
        std::vector<std::string> expected;
    } cases[] = {
        {"kovacs", {kovacs}},
        {"Kov\xC3\xA1" "cs", {kovacs}},
        {"bela dance", {kovacs}},
        {"cafe", {tree.file("m/Caf\xC3\xA9 del Mar.mp3")}},
        {"CAFE DEL", {tree.file("m/Caf\xC3\xA9 del Mar.mp3")}},
        {"morn", {morning, again}},
        {"Morn", {morning, again}},
        {"Morning", {morning, again}},
        {"alpha morning", {morning}},
        {"alpha morn", {morning}},
        {"band light evening", {tree.file("m/Alpha Band/1999 - First Light/02 - Evening.mp3")}},
        {"garcons", {garcons}},
        {"zoe", {garcons}},
        {"strassenmusik", {tree.file("m/Stra\xC3\x9F" "enmusik.mp3")}},
        {"morning -again", {morning}},  // the sign keeps its meaning in both halves
        {"nothing like this", {}},
        {"alpha zzz", {}},
        // A folder's word alone finds the folder, not everything inside it.
        {"alpha", {tree.file("m/Alpha Band")}},
        {"light", {tree.file("m/Alpha Band/1999 - First Light")}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(found(c.query), sorted(c.expected)) << c.query;
    }
}

TEST_F(FoldedSearchTest, FoldersOnlyKeepsFolders) {
    EXPECT_EQ(found("alpha", true), std::vector<std::string>{tree.file("m/Alpha Band")});
    EXPECT_EQ(found("first light", true), std::vector<std::string>{tree.file("m/Alpha Band/1999 - First Light")});
    EXPECT_TRUE(found("kovacs", true).empty());
}

TEST_F(SearchFixture, NameResultsComeFirstInTheirOwnOrderThenFoldedOnesWithoutRepeats) {
    tree.write("m/Song.mp3");
    tree.write("m/Song Song Song.mp3");
    tree.write("m/Songbook/Intro.mp3");
    tree.write("m/Other/Song.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    const SearchResult result = searcher.find("song", false);
    const auto got = paths(result.items);
    ASSERT_EQ(got.size(), 4u);
    // The name query alone: the three files whose names hold the word.
    EXPECT_EQ(sorted({got[0], got[1], got[2]}),
              sorted({tree.file("m/Song.mp3"), tree.file("m/Song Song Song.mp3"), tree.file("m/Other/Song.mp3")}));
    // Then the prefix matches of the folded words, in index order; a folder's
    // word alone does not bring in what the folder holds.
    EXPECT_EQ(std::vector<std::string>(got.begin() + 3, got.end()),
              (std::vector<std::string>{tree.file("m/Songbook")}));
    EXPECT_EQ(result.total, 4u);
    EXPECT_FALSE(result.cut);
}

TEST_F(SearchFixture, TheLimitCountsBothHalves) {
    for (int i = 0; i < 300; ++i) tree.write("m/Hit " + std::to_string(i) + ".mp3");
    for (int i = 0; i < 300; ++i) tree.write("m/Hits Folder/Hitting " + std::to_string(i) + ".mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    const SearchResult result = searcher.find("hit", false);
    ASSERT_EQ(result.items.size(), 500u);
    EXPECT_EQ(result.total, 601u);  // 300 names, the folder and its 300 files by prefix
    EXPECT_TRUE(result.cut);
    const auto got = paths(result.items);
    EXPECT_EQ(std::set<std::string>(got.begin(), got.end()).size(), 500u);
    for (std::size_t i = 0; i < 300; ++i) {
        EXPECT_EQ(got[i].find("/Hits Folder"), std::string::npos) << i;  // the name hits come first
    }
    const SearchResult prefixOnly = searcher.find("hitt", false);
    EXPECT_EQ(prefixOnly.items.size(), 300u);
    EXPECT_EQ(prefixOnly.total, 300u);
    EXPECT_FALSE(prefixOnly.cut);
    for (int i = 300; i < 700; ++i) tree.write("m/Hit " + std::to_string(i) + ".mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    const SearchResult more = searcher.find("hit", false);
    EXPECT_EQ(more.items.size(), 500u);
    EXPECT_EQ(more.total, 1001u);
    EXPECT_TRUE(more.cut);
}

// The one-letter sets read ahead of the first search give what the sets
// read on demand give, stopped early or not.
TEST_F(FoldedSearchTest, WarmedOneLetterSetsAnswerAsSetsReadOnDemand) {
    LibrarySearcher warmed(indexPath());
    LibrarySearcher halfWarmed(indexPath());
    std::atomic<bool> stop{false};
    warmed.warm(stop);
    stop.store(true);
    halfWarmed.warm(stop);
    for (const char* query : {"a", "m", "alpha m", "beta m", "alpha e", "b", "c", "z", "s", "0", "1"}) {
        const SearchResult expected = searcher.find(query, false);
        for (LibrarySearcher* other : {&warmed, &halfWarmed}) {
            const SearchResult got = other->find(query, false);
            EXPECT_EQ(paths(got.items), paths(expected.items)) << query;
            EXPECT_EQ(got.total, expected.total) << query;
        }
    }
}

// A listing that shows no count (search) stops reading the postings once it
// has its items: it must list exactly what the counted search lists.
TEST_F(SearchFixture, ListingsWithoutACountHoldTheSameItems) {
    for (int i = 0; i < 300; ++i) tree.write("m/Hit " + std::to_string(i) + ".mp3");
    for (int i = 0; i < 300; ++i) tree.write("m/Hits Folder/Hitting " + std::to_string(i) + ".mp3");
    for (int i = 0; i < 200; ++i) tree.write("m/Other/H" + std::to_string(i) + " - Song.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    for (const char* query : {"hit", "hitt", "h", "hi", "s", "hitting 1", "hits hitting", "song h1", "-hit h", "zz"}) {
        const auto listed = paths(find(query));  // first: an answer without a count is never kept
        EXPECT_EQ(listed, paths(searcher.find(query, false).items)) << query;
    }
}

// The first matches read round by round, each reading only the postings
// below its bound, are the first of all matches in index order.
TEST_F(SearchFixture, FirstFoldedMatchesAreTheFirstOfAllMatches) {
    for (int i = 0; i < 120; ++i) {
        tree.write("m/" + std::string(i % 3 == 0 ? "Alpha " : "Beta ") + std::to_string(i) + ".mp3");
    }
    for (int i = 0; i < 40; ++i) tree.write("m/Alpine Folder/Track " + std::to_string(i) + ".mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    auto lock = IndexStore::lockOpenClose();
    const std::string current = IndexStore(indexPath()).currentIndexLocked().value();
    MappedIndexDirectory directory(current);
    lucene::index::IndexReader* reader = lucene::index::IndexReader::open(&directory);
    const auto folders = FolderRanges::read(current + "/" + kFolderRangesFile, reader->maxDoc());
    ASSERT_TRUE(folders);
    DocSet skip(reader->maxDoc());
    for (std::int32_t doc = 0; doc < reader->maxDoc(); doc += 7) skip.add(doc);
    for (const char* query : {"al", "alpha", "b", "beta 1", "track al", "nothing"}) {
        const PlainWords words = plainQueryWords(query);
        DocSet all = foldedMatches(*reader, words, &*folders);
        all.subtract(skip);
        for (std::size_t wanted : {1u, 5u, 30u, 1000u}) {
            for (std::int32_t firstBound : {1, 4, 64, 100000}) {
                const DocSet first = firstFoldedMatches(*reader, words, &*folders, skip, wanted, firstBound);
                EXPECT_EQ(first.members(wanted), all.members(wanted))
                    << query << ", " << wanted << " wanted, first bound " << firstBound;
            }
        }
    }
    reader->close();
    delete reader;
}

TEST_F(SearchFixture, NoIndexOrNoQueryGivesAnEmptyResult) {
    const SearchResult none = searcher.find("anything", false);
    EXPECT_TRUE(none.items.empty());
    EXPECT_EQ(none.total, 0u);
    EXPECT_FALSE(none.cut);
    tree.write("m/Anything.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(searcher.find("", false).total, 0u);
    EXPECT_EQ(searcher.find("anything", false).total, 1u);
}

}  // namespace
}  // namespace lyrebox::test
