// The index that keeps itself current: a pass at start without an index,
// after changes below the shares and when the shares change; never two at
// once, and nothing at all while it is off.
#include "config/Settings.h"
#include "library/AutoIndexer.h"
#include "library/Indexer.h"
#include "library/LibrarySearcher.h"
#include "library/MediaLibrary.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace lyrebox::test {
namespace {

using namespace std::chrono_literals;

// Generous: the pass itself is quick, but the machine may be loaded.
constexpr auto kDeadline = 30s;

bool eventually(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);  // a poll interval, not a wait for time to pass
    }
    return true;
}

class AutoIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.folder("m");
        settings.setSharedDirs({tree.file("m")});
    }
    std::unique_ptr<MediaLibrary> makeLibrary(const std::string& index = "index") {
        return std::make_unique<MediaLibrary>(settings, tree.file(index));
    }
    static std::size_t hits(MediaLibrary& library, const std::string& query) {
        return library.searchWithTotal(query, false).total;
    }
    // No pass runs and none is due.
    static bool settled(MediaLibrary& library) {
        return !library.autoPassPending() && !library.indexerState().running;
    }

    TempDir tree;
    Settings settings{tree.file("test.ini")};
};

TEST_F(AutoIndexTest, StartWithSharesAndNoIndexBuildsOne) {
    tree.write("m/Artist/First Song.mp3");
    auto library = makeLibrary();
    EXPECT_FALSE(library->indexerState().hasIndex);
    library->setAutoIndex(true);
    EXPECT_TRUE(eventually([&] { return hits(*library, "first song") == 1; }));
    EXPECT_TRUE(library->indexerState().hasIndex);
    EXPECT_GE(library->autoPassesStarted(), 1u);
}

TEST_F(AutoIndexTest, AddedFilesAreFoundAndRemovedOnesGo) {
    tree.write("m/Old.mp3");
    auto library = makeLibrary();
    library->setAutoIndex(true);
    ASSERT_TRUE(eventually([&] { return hits(*library, "old") == 1; }));

    // In a folder that did not exist: it is watched from its creation on.
    const std::string fresh = tree.write("m/New Folder/Deeper/Fresh Track.mp3");
    EXPECT_TRUE(eventually([&] { return hits(*library, "fresh track") == 1; }));
    tree.write("m/New Folder/Deeper/Second One.mp3");
    EXPECT_TRUE(eventually([&] { return hits(*library, "second one") == 1; }));

    std::filesystem::remove(fresh);
    EXPECT_TRUE(eventually([&] { return hits(*library, "fresh") == 0; }));
    std::filesystem::rename(tree.file("m/Old.mp3"), tree.file("m/Renamed.mp3"));
    EXPECT_TRUE(eventually([&] { return hits(*library, "old") == 0 && hits(*library, "renamed") == 1; }));
}

TEST_F(AutoIndexTest, ABurstOfChangesStartsAtMostTwoPasses) {
    tree.write("m/Seed.mp3");
    auto library = makeLibrary();
    library->setAutoIndex(true);
    ASSERT_TRUE(eventually([&] { return hits(*library, "seed") == 1 && settled(*library); }));
    const auto before = library->autoPassesStarted();
    tree.folder("m/Burst");
    for (int i = 0; i < 1000; ++i) tree.write("m/Burst/Burst " + std::to_string(i) + ".mp3");
    ASSERT_TRUE(eventually([&] { return hits(*library, "burst") == 1001 && settled(*library); }));
    EXPECT_LE(library->autoPassesStarted() - before, 2u);
}

TEST_F(AutoIndexTest, ChangedSharesAreIndexedAndWatched) {
    tree.write("m/In M.mp3");
    tree.write("other/In Other.mp3");
    auto library = makeLibrary();
    library->setAutoIndex(true);
    ASSERT_TRUE(eventually([&] { return hits(*library, "m") == 1; }));
    settings.setSharedDirs({tree.file("other")});
    library->setSharedDirs(settings.sharedDirs());
    EXPECT_TRUE(eventually([&] { return hits(*library, "other") == 1 && hits(*library, "m") == 0; }));
    tree.write("other/Later.mp3");
    EXPECT_TRUE(eventually([&] { return hits(*library, "later") == 1; }));
}

TEST_F(AutoIndexTest, OffStartsNothing) {
    tree.write("m/Song.mp3");
    auto off = makeLibrary("index-off");
    off->setAutoIndex(true);  // it may start its first pass or not before it is turned off
    off->setAutoIndex(false);
    ASSERT_TRUE(eventually([&] { return settled(*off); }));
    const auto startedBefore = off->autoPassesStarted();
    const bool hadIndex = off->indexerState().hasIndex;

    // A second library on the same share, automatic, with a short quiet time:
    // once it has seen and indexed a new file, the first had every chance to.
    auto on = makeLibrary("index-on");
    AutoIndexTiming quick;
    quick.quiet = 100ms;
    on->setAutoIndex(true, quick);
    ASSERT_TRUE(eventually([&] { return hits(*on, "song") == 1 && settled(*on); }));
    tree.write("m/Witness.mp3");
    ASSERT_TRUE(eventually([&] { return hits(*on, "witness") == 1; }));
    ASSERT_TRUE(eventually([&] { return settled(*on); }));
    auto started = on->autoPassesStarted();
    tree.write("m/Second Witness.mp3");
    ASSERT_TRUE(eventually([&] { return on->autoPassesStarted() > started && settled(*on); }));

    EXPECT_EQ(off->autoPassesStarted(), startedBefore);
    EXPECT_FALSE(off->autoIndexEnabled());
    if (!hadIndex) {
        EXPECT_FALSE(off->indexerState().hasIndex);
    }
    EXPECT_EQ(hits(*off, "witness"), 0u);
}

TEST_F(AutoIndexTest, NeverTurnedOnNothingStarts) {
    tree.write("m/Song.mp3");
    auto library = makeLibrary();
    settings.setSharedDirs({tree.file("m"), tree.file("m2")});
    library->setSharedDirs(settings.sharedDirs());  // a change of shares, heard by nobody
    EXPECT_EQ(library->autoPassesStarted(), 0u);
    EXPECT_FALSE(library->indexerState().running);
    EXPECT_FALSE(library->indexerState().hasIndex);
}

TEST_F(AutoIndexTest, TheIndexInsideAShareDoesNotKeepStartingPasses) {
    settings.setSharedDirs({tree.path()});
    tree.write("m/Song.mp3");
    auto library = makeLibrary("m/index");  // the index lies inside the share
    AutoIndexTiming quick;
    quick.quiet = 100ms;
    library->setAutoIndex(true, quick);
    ASSERT_TRUE(eventually([&] { return hits(*library, "song") == 1 && settled(*library); }));
    const auto started = library->autoPassesStarted();
    // Another library's pass shows how long a pass and its quiet time take.
    auto witness = makeLibrary("witness-index");
    ASSERT_TRUE(witness->startIndexer());
    witness->waitIndexerIdle();
    tree.write("m/Marker.mp3");
    ASSERT_TRUE(eventually([&] { return hits(*library, "marker") == 1 && settled(*library); }));
    // The marker's pass, and none for the index files that pass wrote.
    EXPECT_LE(library->autoPassesStarted() - started, 2u);
}

// Past the watch limit (none at all: as without inotify), the folders left
// unwatched are covered by full passes: a file added in one of them is found
// though no event reports it. Changes never start a pass here (the quiet
// time is far longer than the test), so only a periodic pass can find it.
TEST_F(AutoIndexTest, PastTheWatchLimitPeriodicPassesFindNewFiles) {
    tree.write("m/Watched.mp3");
    tree.write("m/Unwatched/Old One.mp3");
    int round = 0;
    for (const std::size_t limit : {std::size_t{1}, std::size_t{0}}) {
        SCOPED_TRACE(limit);
        auto library = makeLibrary("index-limit-" + std::to_string(limit));
        AutoIndexTiming timing;
        timing.quiet = 1h;
        timing.longestWait = 1h;
        timing.fullPassEvery = 100ms;
        timing.watchLimit = limit;
        library->setAutoIndex(true, timing);
        ASSERT_TRUE(eventually([&] { return hits(*library, "old one") == 1; }));
        EXPECT_EQ(library->autoWatchedFolders(), limit);  // "m" only, or nothing

        const std::string word = "later" + std::to_string(++round);
        tree.write("m/Unwatched/" + word + ".mp3");
        EXPECT_TRUE(eventually([&] { return hits(*library, word) == 1; }));
        const auto started = library->autoPassesStarted();
        EXPECT_TRUE(eventually([&] { return library->autoPassesStarted() > started; }));  // and they go on
    }
}

// With every folder watched, the period starts nothing: a library past the
// limit on the same share, with the same short period, shows several periods
// went by meanwhile.
TEST_F(AutoIndexTest, WithEveryFolderWatchedNoPeriodicPassesRun) {
    tree.write("m/Song.mp3");
    tree.write("m/Folder/Other.mp3");
    AutoIndexTiming timing;
    timing.quiet = 1h;
    timing.longestWait = 1h;
    timing.fullPassEvery = 50ms;
    auto watched = makeLibrary("index-watched");
    watched->setAutoIndex(true, timing);
    ASSERT_TRUE(eventually([&] { return hits(*watched, "other") == 1 && settled(*watched); }));
    if (watched->autoWatchedFolders() != 2u) {
        GTEST_SKIP() << "the system's inotify watches ran out (other watchers on this machine)";
    }
    const auto started = watched->autoPassesStarted();

    timing.watchLimit = 1;
    auto witness = makeLibrary("index-witness");
    witness->setAutoIndex(true, timing);
    ASSERT_TRUE(eventually([&] { return witness->autoPassesStarted() >= 4; }));
    EXPECT_EQ(watched->autoPassesStarted(), started);
    EXPECT_TRUE(settled(*watched));
}

struct StateCase {
    IndexerState state;
    std::string text;
};

TEST(IndexerStateText, SaysWhatTheIndexIsDoing) {
    IndexerState running;
    running.running = true;
    running.itemsSoFar = 1234;
    IndexerState done;
    done.hasLastPass = true;
    done.lastResult = PassResult::Published;
    done.lastCount = 151;
    done.lastSeconds = 0.26;
    done.hasIndex = true;
    IndexerState failed = done;
    failed.lastResult = PassResult::Failed;
    failed.lastError = "the index could not be written in /x";
    IndexerState none;
    IndexerState untouched;
    untouched.hasIndex = true;
    const StateCase cases[] = {
        {running, "Indexing... 1234 items"},
        {done, "151 items indexed in 0.3 s"},
        {failed, "Indexing failed: the index could not be written in /x"},
        {none, "No index yet"},
        {untouched, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(describeIndexerState(c.state), c.text);
}

}  // namespace
}  // namespace lyrebox::test
