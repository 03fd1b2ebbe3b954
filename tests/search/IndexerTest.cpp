// The indexing pass and the indexer thread on real directory trees.
#include "tests/search/SearchFixture.h"

#include "config/Settings.h"
#include "library/IndexWalk.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"

#include <filesystem>
#include <new>
#include <thread>

namespace lyrebox::test {
namespace {

using IndexPassTest = SearchFixture;

TEST_F(IndexPassTest, NoIndexBeforeTheFirstPass) {
    tree.write("music/Song.mp3");
    EXPECT_TRUE(find("song").empty());
    EXPECT_FALSE(std::filesystem::exists(indexPath()));  // searching created nothing
}

TEST_F(IndexPassTest, EmptySharedListGivesAnEmptyIndex) {
    EXPECT_EQ(pass({}), PassResult::Published);
    EXPECT_TRUE(storedPaths().empty());
    EXPECT_TRUE(find("song").empty());
}

TEST_F(IndexPassTest, DirectoryItemsComeBeforeSubdirectories) {
    tree.write("m/B/Inner.mp3");
    tree.write("m/A/Deep/Deeper.ogg");
    tree.write("m/top.flac");
    tree.write("m/notes.txt");
    tree.write("m/.hidden.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    const auto stored = storedPaths();
    // m's own items first (in file-system order; m itself has no document),
    // then the subtree of each subdirectory in the order the items came.
    ASSERT_EQ(stored.size(), 7u);
    EXPECT_EQ(sorted({stored.begin(), stored.begin() + 4}),
              sorted({tree.file("m/A"), tree.file("m/B"), tree.file("m/top.flac"), tree.file("m/.hidden.mp3")}));
    const std::vector<std::string> underA = {tree.file("m/A/Deep"), tree.file("m/A/Deep/Deeper.ogg")};
    const std::vector<std::string> underB = {tree.file("m/B/Inner.mp3")};
    std::vector<std::string> expected;
    for (auto it = stored.begin(); it != stored.begin() + 4; ++it) {
        const auto& more = *it == tree.file("m/A") ? underA : *it == tree.file("m/B") ? underB
                                                                                     : std::vector<std::string>{};
        expected.insert(expected.end(), more.begin(), more.end());
    }
    EXPECT_EQ(std::vector<std::string>(stored.begin() + 4, stored.end()), expected);
}

TEST_F(IndexPassTest, AnIndexDirectoryThatCannotBeMadeLeavesNoIndex) {
    tree.write("m/Song.mp3");
    const std::string blocked = tree.write("blocker") + "/index";  // below a file
    PassInput input;
    input.dirs = {tree.file("m")};
    input.extensions = playableExtensions();
    lucene::analysis::filename::FilenameAnalyzer analyzer;
    std::atomic<bool> stop{false};
    EXPECT_EQ(runIndexPass(IndexStore(blocked), input, analyzer, stop), PassResult::Failed);
    std::vector<FileEntry> results;
    LibrarySearcher(blocked).search("song", results, false);
    EXPECT_TRUE(results.empty());
}

TEST_F(IndexPassTest, TrailingSlashesGiveTheSamePaths) {
    tree.write("m/a.mp3");
    ASSERT_EQ(pass({tree.file("m///")}), PassResult::Published);
    EXPECT_EQ(storedPaths(), std::vector<std::string>{tree.file("m/a.mp3")});
}

TEST_F(IndexPassTest, NamesOfFilesAndDirectories) {
    tree.write("m/MP3");                 // no ".", equals a playable extension
    tree.write("m/Song.Name.mp3");       // cut before the last "."
    tree.folder("m/Vol.2");                // a directory keeps its whole name
    tree.write("m/README");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(paths(find("mp3")), std::vector<std::string>{tree.file("m/MP3")});
    EXPECT_EQ(paths(find("song.name")), std::vector<std::string>{tree.file("m/Song.Name.mp3")});
    EXPECT_TRUE(find("song").empty());
    EXPECT_EQ(paths(find("vol.2")), std::vector<std::string>{tree.file("m/Vol.2")});
    EXPECT_TRUE(find("readme").empty());
}

TEST_F(IndexPassTest, SingleFileEntryIsIndexedWhateverItsExtension) {
    const std::string file = tree.writePattern("Notes Here.txt", 12);
    ASSERT_EQ(pass({file + "/"}), PassResult::Published);
    const auto results = find("notes");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].path, file);
    EXPECT_EQ(results[0].size, 12u);
    EXPECT_EQ(results[0].attributes & 0x10u, 0u);
}

TEST_F(IndexPassTest, NestedSharesIndexInnerFilesTwice) {
    tree.write("m/inner/Twice.mp3");
    ASSERT_EQ(pass({tree.file("m"), tree.file("m/inner"), tree.file("missing")}), PassResult::Published);
    EXPECT_EQ(paths(find("twice")),
              (std::vector<std::string>{tree.file("m/inner/Twice.mp3"), tree.file("m/inner/Twice.mp3")}));
}

TEST_F(IndexPassTest, SizeKeepsTheLow32Bits) {
    const std::string big = tree.write("m/Huge.wav");
    std::filesystem::resize_file(big, (std::uint64_t{5} << 32) + 7);  // sparse
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    const auto results = find("huge");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].size, 7u);
}

TEST_F(IndexPassTest, SymbolicLinkLoopsAreNotFollowedRoundAndRound) {
    tree.write("m/sub/Loop Song.mp3");
    std::filesystem::create_directory_symlink("..", tree.file("m/sub/up"));
    std::filesystem::create_directory_symlink(".", tree.file("m/sub/here"));
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    // Once directly; once more through each link (whose targets are entered
    // once, not again below themselves).
    EXPECT_LE(find("loop").size(), 3u);
    EXPECT_GE(find("loop").size(), 1u);
}

TEST_F(IndexPassTest, StoredPathsKeepEveryByte) {
    std::string low = "roundtrip ", high = "roundtrip ";
    for (int c = 1; c < 0x80; ++c) {
        if (c != '/') low.push_back(static_cast<char>(c));
    }
    for (int c = 0x80; c <= 0xFF; ++c) high.push_back(static_cast<char>(c));
    const std::string lowPath = tree.write("m/" + low + ".mp3");
    const std::string highPath = tree.write("m/" + high + ".mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_EQ(sorted(paths(find("roundtrip"))), sorted({lowPath, highPath}));
}

TEST_F(IndexPassTest, ANewPassReplacesTheIndex) {
    tree.write("m/First.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    std::filesystem::rename(tree.file("m/First.mp3"), tree.file("m/Second.mp3"));
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    EXPECT_TRUE(find("first").empty());
    EXPECT_EQ(find("second").size(), 1u);
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);  // back into the first generation
    EXPECT_EQ(find("second").size(), 1u);
}

class IndexerTest : public SearchFixture {};

TEST_F(IndexerTest, SecondStartWhileAPassRunsStartsNothing) {
    tree.write("m/Song.mp3");
    Settings settings(tree.file("lyrebox.ini"));
    settings.setSharedDirs({tree.file("m")});
    MediaLibrary library(settings, indexPath());
    {
        // Holding the open/close lock keeps the pass before its writer opens.
        auto hold = IndexStore::lockOpenClose();
        ASSERT_TRUE(library.startIndexer());
        EXPECT_TRUE(library.isIndexing());
        EXPECT_FALSE(library.startIndexer());
    }
    library.waitIndexerIdle();
    EXPECT_FALSE(library.isIndexing());
    std::vector<FileEntry> results;
    library.search("song", results, false);
    EXPECT_EQ(paths(results), std::vector<std::string>{tree.file("m/Song.mp3")});
}

TEST_F(IndexerTest, APassOfAnotherIndexerOnTheSameDirectoryWaitsForNothing) {
    tree.write("m/Song.mp3");
    Indexer indexer(playableExtensions(), {tree.file("m")}, indexPath());
    {
        std::filesystem::create_directories(indexPath());
        PassGuard running(IndexStore{indexPath()});  // as if another pass ran
        ASSERT_TRUE(running.owns());
        ASSERT_TRUE(indexer.start());
        indexer.join();
        EXPECT_EQ(indexer.lastResult(), PassResult::Busy);
    }
    EXPECT_TRUE(find("song").empty());
    ASSERT_TRUE(indexer.start());
    indexer.join();
    EXPECT_EQ(indexer.lastResult(), PassResult::Published);
    EXPECT_EQ(find("song").size(), 1u);
}

TEST_F(IndexerTest, SharedDirsGivenLaterAreUsedByTheNextPass) {
    tree.write("m/Song.mp3");
    tree.write("n/Other.mp3");
    Settings settings(tree.file("lyrebox.ini"));
    settings.setSharedDirs({tree.file("m")});
    MediaLibrary library(settings, indexPath());
    SharedDirList replaced({tree.file("n")});
    library.setSharedDirs(replaced);
    ASSERT_TRUE(library.startIndexer());
    library.waitIndexerIdle();
    std::vector<FileEntry> results;
    library.search("song", results, false);
    EXPECT_TRUE(results.empty());
    library.search("other", results, false);
    EXPECT_EQ(results.size(), 1u);
    library.search("", results, false);  // an empty query adds nothing
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(IndexerTest, DestructionStopsARunningPassAndKeepsThePreviousIndex) {
    tree.write("m/Kept.mp3");
    ASSERT_EQ(pass({tree.file("m")}), PassResult::Published);
    tree.write("m/Later.mp3");
    {
        auto hold = IndexStore::lockOpenClose();
        auto indexer = std::make_unique<Indexer>(playableExtensions(), std::vector<std::string>{tree.file("m")},
                                                 indexPath());
        ASSERT_TRUE(indexer->start());
        indexer->waitStarted();
        indexer->requestStop();  // what the destructor does first
        hold.unlock();
        indexer->join();
        EXPECT_EQ(indexer->lastResult(), PassResult::Stopped);
    }
    EXPECT_EQ(find("kept").size(), 1u);
    EXPECT_TRUE(find("later").empty());
}

TEST_F(IndexerTest, QuitDuringAPassLeavesAUsableIndexForTheNextStart) {
    tree.write("m/Song.mp3");
    Settings settings(tree.file("lyrebox.ini"));
    settings.setSharedDirs({tree.file("m")});
    auto first = std::make_unique<MediaLibrary>(settings, indexPath());
    std::thread quit;
    {
        auto hold = IndexStore::lockOpenClose();  // the pass waits to open its writer
        ASSERT_TRUE(first->startIndexer());
        quit = std::thread([&] { first.reset(); });  // waits for the pass
        // Released whether or not the quit has asked the pass to stop yet:
        // either way the quit ends and leaves no lock behind.
    }
    quit.join();
    MediaLibrary second(settings, indexPath());
    ASSERT_TRUE(second.startIndexer());
    second.waitIndexerIdle();
    std::vector<FileEntry> results;
    second.search("song", results, false);
    EXPECT_EQ(paths(results), std::vector<std::string>{tree.file("m/Song.mp3")});
}

TEST(EntryChannel, BatchesArriveInOrderAndCancelReleasesAFullChannel) {
    EntryChannel channel;
    for (std::size_t i = 0; i < EntryChannel::kMaxBatches; ++i) {
        ASSERT_TRUE(channel.push({FoundEntry{std::to_string(i), 0, 0}}));
    }
    bool pushed = true;
    std::thread walker([&] { pushed = channel.push({FoundEntry{"late", 0, 0}}); });  // blocks: full
    EXPECT_EQ(channel.pop()->front().path, "0");
    EXPECT_EQ(channel.pop()->front().path, "1");
    walker.join();  // room was made, so the late batch went in
    EXPECT_TRUE(pushed);

    std::thread second([&] {
        while (channel.push({FoundEntry{"more", 0, 0}})) {
        }
    });
    channel.cancel();  // the reader gives up: the pusher is let go
    second.join();
    channel.finish();
    std::size_t left = 0;
    while (channel.pop()) ++left;
    EXPECT_GE(left, EntryChannel::kMaxBatches - 1);
}

// The pass hands every batch back to be filled again: a refilled batch must
// hold exactly the new walk's entries, nothing of what it held before.
TEST(WalkSharedEntries, BatchesHandedBackAreRefilledWithoutTheirOldContents) {
    test::TempDir tree;
    for (int i = 0; i < 700; ++i) tree.write("m/" + std::to_string(i) + ".mp3", std::string(i % 7, 'x'));
    tree.write("m/Sub/inner.ogg");
    std::atomic<bool> stop{false};
    const auto walked = [&](EntryChannel& channel) {
        EXPECT_EQ(walkSharedEntries({tree.file("m")}, playableExtensions(), stop, channel), WalkResult::Complete);
        std::vector<std::string> seen;
        while (auto batch = channel.pop()) {
            for (const auto& entry : *batch) {
                EXPECT_FALSE(entry.termsMade);
                EXPECT_TRUE(entry.terms.empty() && entry.termEnds.empty() && entry.foldedTerms == 0);
                seen.push_back(entry.path + " " + std::to_string(entry.attributes) + " " +
                               std::to_string(entry.size) + " " + std::to_string(entry.shareLength));
            }
        }
        return seen;
    };
    EntryChannel fresh;
    const auto expected = walked(fresh);
    ASSERT_EQ(expected.size(), 702u);
    EntryChannel recycled;
    for (int i = 0; i < 4; ++i) {
        const FoundEntry stale{"/stale/old/path.mp3", 0x10, 99, 3, L"oldterm", {3, 7}, 1, true};
        recycled.recycle(EntryChannel::Batch(EntryChannel::kBatchSize + 100, stale));
    }
    EXPECT_EQ(walked(recycled), expected);
}

TEST(WalkSharedEntries, PrepareSeesEveryEntryInOrderAndItsFailureEndsTheWalk) {
    test::TempDir tree;
    tree.write("m/a.mp3");
    tree.write("m/b.mp3");
    std::atomic<bool> stop{false};
    {
        EntryChannel channel;
        std::vector<std::string> prepared;
        const auto result = walkSharedEntries({tree.file("m")}, playableExtensions(), stop, channel,
                                              [&](FoundEntry& entry) {
                                                  prepared.push_back(entry.path);
                                                  entry.terms = L"w";
                                              });
        EXPECT_EQ(result, WalkResult::Complete);
        const auto batch = channel.pop();
        ASSERT_TRUE(batch);
        ASSERT_EQ(batch->size(), 2u);
        EXPECT_EQ(prepared, (std::vector<std::string>{(*batch)[0].path, (*batch)[1].path}));
        EXPECT_EQ((*batch)[1].terms, L"w");
    }
    // A failure while preparing (out of memory) fails the walk and still
    // finishes the channel, so the writing side never waits for more.
    EntryChannel channel;
    const auto result = walkSharedEntries({tree.file("m")}, playableExtensions(), stop, channel,
                                          [](FoundEntry&) { throw std::bad_alloc(); });
    EXPECT_EQ(result, WalkResult::Failed);
    while (channel.pop()) {
    }
}

TEST(IndexPath, BesideTheModuleWithoutItsExtension) {
    EXPECT_EQ(indexPathForModule("/opt/player/plugins/gen_lyrebox.so"), "/opt/player/plugins/gen_lyrebox");
    EXPECT_EQ(indexPathForModule("/opt/v1.2/plugins/gen_lyrebox"), "/opt/v1.2/plugins/gen_lyrebox.index");
    EXPECT_EQ(indexPathForModule("/a/b.c.so"), "/a/b.c");
    // This test program is the module that holds the library code here.
    EXPECT_EQ(defaultIndexPath(), std::string(LYREBOX_BUILD_DIR) + "/search-index-test.index");
}

}  // namespace
}  // namespace lyrebox::test
