// The library's own rules for shared files, in process: only regular files
// (and links whose final target is a regular file with a music name) are
// listed, expanded or indexed; search answers only with files of the folders
// shared now, even from an index made before a share was removed.
#include "tests/support/TempDir.h"

#include "config/Settings.h"
#include "library/LibraryText.h"
#include "library/MediaLibrary.h"
#include "platform/DirectorySearch.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

class LibraryFileKindTest : public ::testing::Test {
protected:
    LibraryFileKindTest() : settings(tree.file("test.ini")) {
        music = tree.folder("music");
        tree.writePattern("music/Alpha.mp3", 10);
        ::mkfifo(tree.file("music/Fifo.mp3").c_str(), 0600);
        tree.writePattern("outside/Notes.txt", 10);
        tree.writePattern("outside/Real.ogg", 10);
        tree.folder("outside/Folder.mp3");
        link("outside/Notes.txt", "music/Leak.mp3");
        link("outside/Real.ogg", "music/Linked.mp3");
        link("outside/Folder.mp3", "music/Dir.mp3");   // a folder: walked as a folder
        link("music/Leak.mp3", "music/Chain.mp3");     // a link to the bad link
        link("outside/missing.mp3", "music/Dangling.mp3");
        settings.setSharedDirs({music});
    }
    void link(const std::string& target, const std::string& at) {
        std::filesystem::create_symlink(tree.file(target), tree.file(at));
    }

    test::TempDir tree;
    Settings settings;
    std::string music;
};

TEST_F(LibraryFileKindTest, ListableOnlyForRegularFilesAndLinksToMusic) {
    struct Case {
        const char* name;
        bool listable;
    };
    const Case cases[] = {
        {"Alpha.mp3", true},  {"Linked.mp3", true},  {"Dir.mp3", true},      {"Fifo.mp3", false},
        {"Leak.mp3", false},  {"Chain.mp3", false},  {"Dangling.mp3", false},
    };
    const auto items = platform::listDirectoryItems(music);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto looked = platform::lookupPath(music + "/" + c.name);
        if (looked) {
            EXPECT_EQ(isListable(*looked), c.listable);
        } else {
            EXPECT_FALSE(c.listable);
        }
        const auto listed = std::find_if(items.begin(), items.end(), [&](const auto& r) { return r.name == c.name; });
        ASSERT_NE(listed, items.end());
        EXPECT_EQ(isListable(*listed), c.listable);
    }
}

TEST_F(LibraryFileKindTest, ExpansionAndIndexTakeOnlyPlayableFiles) {
    MediaLibrary library(settings, tree.file("index"));
    std::vector<std::string> items;
    library.expandPath(music, items);
    EXPECT_EQ(items, (std::vector<std::string>{music + "/Alpha.mp3", music + "/Linked.mp3"}));
    for (const char* name : {"Fifo.mp3", "Leak.mp3", "Chain.mp3"}) {
        SCOPED_TRACE(name);
        std::vector<std::string> one;
        library.expandPath(music + "/" + name, one);
        EXPECT_TRUE(one.empty());
    }
    // Downloads find a FIFO (and refuse to open it) but no link to a non-music file.
    EXPECT_TRUE(library.lookupFile(music + "/Leak.mp3").name.empty());
    EXPECT_TRUE(library.lookupFile(music + "/Chain.mp3").name.empty());
    EXPECT_TRUE(library.lookupFile(music + "/Fifo.mp3").special);

    ASSERT_TRUE(library.startIndexer());
    library.waitIndexerIdle();
    for (const char* query : {"fifo", "leak", "chain", "dangling"}) {
        std::vector<FileEntry> results;
        library.search(query, results, false);
        EXPECT_TRUE(results.empty()) << query;
    }
    std::vector<FileEntry> results;
    library.search("linked", results, false);
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(LibraryFileKindTest, SearchAnswersOnlyFromTodaysShares) {
    const std::string other = tree.folder("other");
    tree.writePattern("other/Zebra Song.mp3", 10);
    tree.writePattern("music/Zebra Tune.mp3", 10);
    settings.setSharedDirs({music, other});
    MediaLibrary library(settings, tree.file("index"));
    ASSERT_TRUE(library.startIndexer());
    library.waitIndexerIdle();
    std::vector<FileEntry> before;
    library.search("zebra", before, false);
    ASSERT_EQ(before.size(), 2u);

    settings.setSharedDirs({music});  // no new pass: the index still holds "other"
    std::vector<FileEntry> results;
    library.search("zebra", results, false);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].path, music + "/Zebra Tune.mp3");
    std::vector<FileEntry> dirs;
    library.search("other", dirs, true);
    EXPECT_TRUE(dirs.empty());
    // "stream" and every enqueue expand search names through the same search.
    std::vector<std::string> items;
    library.expandPath("search://zebra", items);
    EXPECT_EQ(items, std::vector<std::string>{music + "/Zebra Tune.mp3"});
}

}  // namespace
}  // namespace lyrebox
