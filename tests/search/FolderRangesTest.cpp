// Folder ranges: what a pass records of each folder's contents, the file
// they are kept in, and searches through them and without them.
#include "tests/search/SearchFixture.h"

#include "library/FolderRanges.h"
#include "library/IndexDocument.h"
#include "library/IndexStore.h"
#include "library/analysis/IndexAnalyzer.h"
#include "platform/DirectorySearch.h"

#include <filesystem>
#include <fstream>

namespace lyrebox::test {
namespace {

class FolderRangesTest : public SearchFixture {
protected:
    struct Stored {
        std::string path;
        bool folder;
    };
    // Every document's path and kind, in document order, and the ranges
    // the pass wrote beside them.
    std::vector<Stored> stored(std::optional<FolderRanges>& ranges) {
        const auto paths = storedPaths();
        const auto attributes = storedValues(L"attributes");
        std::vector<Stored> out;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            out.push_back(Stored{paths[i], (std::stoul(attributes[i]) & platform::FILE_ATTRIBUTE_DIRECTORY) != 0});
        }
        auto lock = IndexStore::lockOpenClose();
        if (const auto current = IndexStore(indexPath()).currentIndexLocked()) {
            ranges = FolderRanges::read(*current + "/" + kFolderRangesFile, static_cast<std::int32_t>(paths.size()));
        }
        return out;
    }
};

TEST_F(FolderRangesTest, EachFolderRangeHoldsExactlyTheItemsBelowIt) {
    tree.write("m/Alpha Band/1999 - First Light/01 - Morning.mp3");
    tree.write("m/Alpha Band/1999 - First Light/02 - Evening.mp3");
    tree.write("m/Alpha Band/Loose.mp3");
    tree.write("m/Alpha Band/2001 - Empty/notes.txt");  // a folder with nothing taken
    tree.write("m/Beta/Gamma/Delta/Deep.ogg");
    tree.write("m/top.flac");
    tree.write("n/Other/Song.mp3");
    tree.write("single/Alone.mp3");
    // A link to a folder beside it is walked again; one back up is not.
    std::filesystem::create_directory_symlink("../../Alpha Band/1999 - First Light", tree.file("m/Beta/Gamma/again"));
    std::filesystem::create_directory_symlink("..", tree.file("m/Beta/up"));
    ASSERT_EQ(pass({tree.file("m"), tree.file("single/Alone.mp3"), tree.file("n")}), PassResult::Published);

    std::optional<FolderRanges> ranges;
    const auto docs = stored(ranges);
    ASSERT_TRUE(ranges);
    ASSERT_GT(docs.size(), 12u);
    std::size_t folders = 0;
    for (std::size_t i = 0; i < docs.size(); ++i) {
        if (!docs[i].folder) continue;
        ++folders;
        std::vector<std::int32_t> below;
        for (std::size_t j = 0; j < docs.size(); ++j) {
            if (docs[j].path.starts_with(docs[i].path + "/")) below.push_back(static_cast<std::int32_t>(j));
        }
        const auto range = std::find_if(ranges->ranges().begin(), ranges->ranges().end(),
                                        [&](const FolderRange& r) { return r.doc == static_cast<std::int32_t>(i); });
        if (below.empty()) {
            EXPECT_EQ(range, ranges->ranges().end()) << docs[i].path;
            continue;
        }
        ASSERT_NE(range, ranges->ranges().end()) << docs[i].path;
        std::vector<std::int32_t> inRange;
        for (std::int32_t j = range->first; j < range->end; ++j) inRange.push_back(j);
        EXPECT_EQ(inRange, below) << docs[i].path;
    }
    EXPECT_GE(folders, 8u);
}

TEST_F(FolderRangesTest, TheFileReadsBackAndADamagedOneIsRefused) {
    const std::string path = tree.file("ranges");
    const FolderRanges written({{5, 9, 12}, {0, 3, 12}, {1, 12, 14}});
    ASSERT_TRUE(written.write(path));
    const auto read = FolderRanges::read(path, 14);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->ranges(), (std::vector<FolderRange>{{0, 3, 12}, {1, 12, 14}, {5, 9, 12}}));
    EXPECT_FALSE(FolderRanges::read(path, 13));  // a range past the index's end
    EXPECT_FALSE(FolderRanges::read(tree.file("missing"), 14));

    const auto bytes = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    const auto damaged = [&](std::string changed) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << changed;
        return FolderRanges::read(path, 14);
    };
    EXPECT_FALSE(damaged(bytes.substr(0, bytes.size() - 1)));  // cut inside a record
    EXPECT_FALSE(damaged("X" + bytes.substr(1)));              // not this file's header
    std::string swapped = bytes;  // two records out of order
    std::swap_ranges(swapped.begin() + 8, swapped.begin() + 20, swapped.begin() + 20);
    EXPECT_FALSE(damaged(swapped));
    std::string inside = bytes;  // contents that start at their own folder
    inside[8 + 4] = 0;
    EXPECT_FALSE(damaged(inside));
    EXPECT_TRUE(damaged(bytes.substr(0, 8)));  // no folders at all
}

// The ranges are written while CLucene finishes the index: a pass whose
// ranges cannot be written fails, and searches keep the index before it,
// which finds folders plus titles as it did.
TEST_F(FolderRangesTest, APassWhoseRangesCannotBeWrittenFailsAndKeepsThePreviousIndex) {
    tree.write("m/Alpha Band/01 - Morning.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    tree.write("m/Alpha Band/02 - Evening.mp3");
    PassInput input;
    input.dirs = {tree.file("m")};
    input.extensions = playableExtensions();
    input.afterWalk = [&] {  // a folder where the file goes
        std::filesystem::create_directory(std::filesystem::path(IndexStore(indexPath()).idleIndex()) / kFolderRangesFile);
    };
    EXPECT_EQ(passWith(input), PassResult::Failed);
    EXPECT_EQ(paths(find("alpha morn")), std::vector<std::string>{tree.file("m/Alpha Band/01 - Morning.mp3")});
    EXPECT_TRUE(find("alpha evening").empty());
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published) << "the next pass replaces the idle generation";
    EXPECT_EQ(find("alpha evening").size(), 1u);
}

TEST(FolderRanges, ItemsBelowTheChosenFoldersUpToTheBound) {
    // Folder 0 holds 2 to 9; inside it folder 2 holds 4 to 6; folder 1 holds 10 and 11.
    const FolderRanges ranges({{0, 2, 10}, {1, 10, 12}, {2, 4, 7}});
    const auto members = [](const DocSet& set) { return set.members(100); };
    DocSet chosen(12);
    chosen.add(2);
    EXPECT_EQ(members(ranges.below(chosen, 12)), (std::vector<std::int32_t>{4, 5, 6}));
    // Folder 1's contents lie past the bound, and folder 2's, which comes after it, do not.
    EXPECT_EQ(members(ranges.below(chosen, 5)), (std::vector<std::int32_t>{4}));
    chosen.add(0);
    EXPECT_EQ(members(ranges.below(chosen, 12)), (std::vector<std::int32_t>{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(members(ranges.below(chosen, 5)), (std::vector<std::int32_t>{2, 3, 4}));
    chosen.add(1);
    chosen.add(7);  // not a folder
    EXPECT_EQ(ranges.below(chosen, 12).count(), 10u);
    EXPECT_TRUE(ranges.below(chosen, 2).empty());
    DocSet wide(200);  // a range across whole words of the set
    const FolderRanges big({{0, 1, 190}});
    wide.add(0);
    EXPECT_EQ(big.below(wide, 200).count(), 189u);
    EXPECT_EQ(big.below(wide, 130).count(), 129u);
}

// An index written before the ranges were kept holds each item's folder
// words with the item, marked, and has no ranges file, and keeps its paths
// as text: searches still find an item by its folders' words, and list the
// path's bytes.
TEST_F(FolderRangesTest, AnIndexWithoutRangesFindsItemsByTheirFoldersMarkedWords) {
    using lucene::analysis::filename::kFolderWordMark;
    const std::string band = tree.file("m/Alpha Band");
    const std::string song = band + "/01 - Morning \xE9t\xE9.mp3";  // Latin-1
    {
        IndexStore store(indexPath());
        std::filesystem::create_directories(store.indexPath());
        const std::string target = store.idleIndex();
        lucene::analysis::filename::FilenameAnalyzer names;
        lucene::analysis::filename::IndexAnalyzer analyzer(names);
        lucene::index::IndexWriter writer(target.c_str(), &analyzer, true);
        IndexDocument document(true);
        const std::size_t share = tree.file("m").size() + 1;
        using lucene::analysis::filename::widen;
        // The words and the path as an earlier build wrote them.
        const auto asText = [](lucene::document::Document& written, std::wstring path) {
            written.getField(L"path")->setValue(path.data(), true);
            return &written;
        };
        FoundEntry folder{band, platform::FILE_ATTRIBUTE_DIRECTORY, 0, share, L"alphaband", {5, 9}, 2};
        writer.addDocument(asText(document.of(folder), widen(band)));
        std::wstring words = L"01morning";
        std::vector<std::size_t> ends{2, 9};
        for (const wchar_t* word : {L"alpha", L"band"}) {
            words += kFolderWordMark;
            words += word;
            ends.push_back(words.size());
        }
        FoundEntry item{song, platform::FILE_ATTRIBUTE_ARCHIVE, 1000, share, words, ends, ends.size()};
        writer.addDocument(asText(document.of(item), widen(song)));
        writer.close();
        auto lock = IndexStore::lockOpenClose();
        ASSERT_TRUE(store.publishLocked(std::filesystem::path(target).filename().string()));
    }
    EXPECT_EQ(paths(find("alpha morn")), (std::vector<std::string>{song}));
    EXPECT_EQ(paths(find("band 01")), (std::vector<std::string>{song}));
    EXPECT_EQ(paths(find("alpha")), (std::vector<std::string>{band}));
    EXPECT_EQ(paths(find("morn")), (std::vector<std::string>{song}));
    EXPECT_TRUE(find("morn -alpha").empty());
}

}  // namespace
}  // namespace lyrebox::test
