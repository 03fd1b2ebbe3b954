#include "platform/ListingCache.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <sys/stat.h>
#include <thread>

namespace platform {

// Readable failures: the records by name, size and time.
void PrintTo(const FindRecord& r, std::ostream* os) {
    *os << "{" << r.name << " attr " << r.attributes << " size " << r.size << " time " << r.lastWriteTime
        << (r.special ? " special" : "") << (r.targetName.empty() ? "" : " -> " + r.targetName) << "}";
}

namespace {

namespace fs = std::filesystem;
using lyrebox::test::TempDir;

// Small bounds keep the folders of these tests small; every folder is
// watched from its first listing.
constexpr ListingCache::Bounds kTestBounds{.minItems = 50, .minDirectoryBytes = 0, .maxDirectories = 4, .maxRecords = 1000};

void fillFolder(const std::string& dir, int files) {
    fs::create_directories(dir);
    for (int i = 0; i < files; ++i) std::ofstream(dir + "/f" + std::to_string(i) + ".mp3") << std::string(i, 'x');
}

void setTime(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

void append(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// A big folder (music) beside another (elsewhere) on the same file system:
// a folder, a link to a file elsewhere reached through a second link, and a
// file with a second name elsewhere.
struct Tree {
    TempDir root;
    std::string music = root.file("parent/music");
    std::string elsewhere = root.folder("elsewhere");

    Tree() {
        fillFolder(music, 60);
        fillFolder(music + "/Sub", 1);
        setTime(music + "/Sub", 1000000000);
        root.write("elsewhere/a.mp3", "aaaa");
        root.write("elsewhere/b.mp3", "bbbbbbbb");
        fs::create_symlink(elsewhere + "/a.mp3", elsewhere + "/current.mp3");
        fs::create_symlink(elsewhere + "/current.mp3", music + "/link.mp3");
        root.write("elsewhere/shared.mp3", "ss");
        fs::create_hard_link(elsewhere + "/shared.mp3", music + "/shared.mp3");
    }
};

TEST(ListingCache, RepeatedListingOfAnUnchangedBigFolderIsServedFromWhatWasKept) {
    Tree tree;
    ListingCache cache(kTestBounds);
    const auto fresh = listDirectoryItems(tree.music);
    ASSERT_EQ(fresh.size(), 2u + 60 + 3);
    EXPECT_EQ(cache.list(tree.music), fresh);
    EXPECT_EQ(cache.keptDirectories(), 1u);
    EXPECT_EQ(cache.list(tree.music), fresh);
    EXPECT_EQ(cache.list(tree.music + "/"), fresh) << "the same folder by another spelling of its path";
    EXPECT_EQ(cache.listingsServedKept(), 2u);

    // A folder whose size on disk looks small is kept once it proved big.
    ListingCache wary(ListingCache::Bounds{.minItems = 50, .minDirectoryBytes = 1ULL << 40});
    EXPECT_EQ(wary.list(tree.music), fresh);
    EXPECT_EQ(wary.keptDirectories(), 0u);
    EXPECT_EQ(wary.list(tree.music), fresh);
    EXPECT_EQ(wary.list(tree.music), fresh);
    EXPECT_EQ(wary.listingsServedKept(), 1u);
}

// Each change is made after the folder's listing was kept and served once;
// the next listing must be what a fresh read gives, and differ from before.
TEST(ListingCache, EveryKindOfChangeIsSeenByTheNextListing) {
    const std::vector<std::pair<const char*, std::function<void(Tree&)>>> changes = {
        {"file created", [](Tree& t) { t.root.write("parent/music/new.mp3", "n"); }},
        {"file deleted", [](Tree& t) { fs::remove(t.music + "/f3.mp3"); }},
        {"file renamed in the folder", [](Tree& t) { fs::rename(t.music + "/f3.mp3", t.music + "/g3.mp3"); }},
        {"file moved in", [](Tree& t) { fs::rename(t.elsewhere + "/b.mp3", t.music + "/b.mp3"); }},
        {"file moved out", [](Tree& t) { fs::rename(t.music + "/f3.mp3", t.elsewhere + "/f3.mp3"); }},
        {"file written", [](Tree& t) { append(t.music + "/f5.mp3", "more"); }},
        {"file touched", [](Tree& t) { setTime(t.music + "/f5.mp3", 1200000000); }},
        {"file made read-only",
         [](Tree& t) { fs::permissions(t.music + "/f5.mp3", fs::perms::owner_write, fs::perm_options::remove); }},
        {"file truncated through an open descriptor",
         [](Tree& t) {
             const int fd = ::open((t.music + "/f9.mp3").c_str(), O_WRONLY);
             ASSERT_GE(fd, 0);
             EXPECT_EQ(::ftruncate(fd, 2), 0);
             ::close(fd);
         }},
        {"sub-folder's content changed", [](Tree& t) { t.root.write("parent/music/Sub/new.mp3", "n"); }},
        {"link's target file written", [](Tree& t) { append(t.elsewhere + "/a.mp3", "more"); }},
        {"link's chain repointed",
         [](Tree& t) {
             fs::create_symlink(t.elsewhere + "/b.mp3", t.elsewhere + "/next.mp3");
             fs::rename(t.elsewhere + "/next.mp3", t.elsewhere + "/current.mp3");
         }},
        {"file written through its other name", [](Tree& t) { append(t.elsewhere + "/shared.mp3", "more"); }},
        {"folder replaced after its parent moved away",
         [](Tree& t) {
             fs::rename(t.root.file("parent"), t.root.file("old-parent"));
             fillFolder(t.music, 61);
         }},
        {"folder deleted", [](Tree& t) { fs::remove_all(t.music); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        Tree tree;
        ListingCache cache(kTestBounds);
        const auto before = cache.list(tree.music);
        ASSERT_EQ(cache.list(tree.music), before);
        ASSERT_EQ(cache.listingsServedKept(), 1u);
        change(tree);
        const auto after = cache.list(tree.music);
        EXPECT_EQ(after, listDirectoryItems(tree.music));
        EXPECT_NE(after, before);
        // And the new state is kept and served in turn.
        EXPECT_EQ(cache.list(tree.music), after);
    }
}

// More events than the kernel queues (16384 by default): the ones lost may
// have been about any folder, so every kept listing goes.
TEST(ListingCache, LostEventsDropEveryKeptListing) {
    std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
    long limit = 0;
    if (!(limitFile >> limit) || limit > 100000) GTEST_SKIP() << "event queue too long to fill here";
    Tree tree;
    const std::string busy = tree.root.file("busy");
    fillFolder(busy, 60);
    ListingCache cache(kTestBounds);
    cache.list(tree.music);
    cache.list(busy);
    ASSERT_EQ(cache.keptDirectories(), 2u);
    // Alternating names, so the kernel cannot merge the events.
    for (long i = 0; i <= limit; ++i) setTime(busy + (i % 2 ? "/f1.mp3" : "/f2.mp3"), 1000000000 + i);
    append(tree.music + "/f7.mp3", "lost");
    EXPECT_EQ(cache.list(tree.music), listDirectoryItems(tree.music));
    EXPECT_EQ(cache.list(busy), listDirectoryItems(busy));
    EXPECT_EQ(cache.listingsServedKept(), 0u);
}

// A second name given to a kept file in another folder, then a write
// through it: no event reaches the kept folder, so only the age bound
// (here none) brings the change in.
TEST(ListingCache, AKeptListingIsReadAgainOnceTooOld) {
    Tree tree;
    ListingCache cache(ListingCache::Bounds{.minItems = 50, .minDirectoryBytes = 0, .maxAge = {}});
    cache.list(tree.music);
    fs::create_hard_link(tree.music + "/f4.mp3", tree.elsewhere + "/f4-again.mp3");
    append(tree.elsewhere + "/f4-again.mp3", "more");
    EXPECT_EQ(cache.list(tree.music), listDirectoryItems(tree.music));
    EXPECT_EQ(cache.listingsServedKept(), 0u);
}

TEST(ListingCache, SmallFoldersAndOnesOutsideLocalFileSystemsAreNeverKept) {
    TempDir root;
    fillFolder(root.file("small"), 10);
    ListingCache cache(kTestBounds);
    EXPECT_EQ(cache.list(root.file("small")), listDirectoryItems(root.file("small")));
    EXPECT_EQ(cache.list(root.file("small")), listDirectoryItems(root.file("small")));
    EXPECT_TRUE(cache.list(root.file("missing")).empty());
    // sysfs changes without telling inotify, as network file systems do.
    ListingCache eager(ListingCache::Bounds{.minItems = 1, .minDirectoryBytes = 0, .maxDirectories = 4, .maxRecords = 1000});
    if (fs::is_directory("/sys/kernel")) {
        EXPECT_EQ(eager.list("/sys/kernel"), listDirectoryItems("/sys/kernel"));
        eager.list("/sys/kernel");
    }
    EXPECT_EQ(cache.keptDirectories() + eager.keptDirectories(), 0u);
    EXPECT_EQ(cache.listingsServedKept() + eager.listingsServedKept(), 0u);
}

TEST(ListingCache, BoundsEvictTheLeastRecentlyUsedFolders) {
    TempDir root;
    for (int i = 0; i < 6; ++i) fillFolder(root.file("d" + std::to_string(i)), 60);
    ListingCache cache(kTestBounds);
    for (int i = 0; i < 4; ++i) cache.list(root.file("d" + std::to_string(i)));
    cache.list(root.file("d0"));  // d1 is now the oldest
    cache.list(root.file("d4"));
    EXPECT_EQ(cache.keptDirectories(), 4u);
    const auto served = cache.listingsServedKept();
    EXPECT_EQ(cache.list(root.file("d0")), listDirectoryItems(root.file("d0")));
    EXPECT_EQ(cache.listingsServedKept(), served + 1);
    EXPECT_EQ(cache.list(root.file("d1")), listDirectoryItems(root.file("d1")));
    EXPECT_EQ(cache.listingsServedKept(), served + 1) << "d1 was evicted";

    // 62 records each: two fit in 130, a third pushes the oldest out.
    ListingCache narrow(ListingCache::Bounds{.minItems = 50, .minDirectoryBytes = 0, .maxDirectories = 8, .maxRecords = 130});
    for (int i = 0; i < 3; ++i) narrow.list(root.file("d" + std::to_string(i)));
    EXPECT_EQ(narrow.keptDirectories(), 2u);
}

// Listings of one folder on several threads while another folder changes
// and is listed: every answer is the fresh one (and the sanitizer builds
// check the locking).
TEST(ListingCache, ListingsOnManyThreadsAtOnce) {
    TempDir root;
    const std::string still = root.file("still");
    const std::string busy = root.file("busy");
    fillFolder(still, 80);
    fillFolder(busy, 80);
    const auto expected = listDirectoryItems(still);
    ListingCache cache(kTestBounds);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 30; ++i) {
                if (cache.list(still) != expected) ++wrong;
                cache.list(busy);
            }
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < 60; ++i) append(busy + "/f" + std::to_string(i) + ".mp3", "more");
    });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(cache.list(busy), listDirectoryItems(busy));
    EXPECT_GT(cache.listingsServedKept(), 0u);
}

}  // namespace
}  // namespace platform
