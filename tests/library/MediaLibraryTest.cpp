#include "library/MediaLibrary.h"

#include "config/Settings.h"
#include "library/LibraryLimits.h"
#include "platform/SystemThread.h"
#include "tests/support/TempDir.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

class MediaLibraryTest : public ::testing::Test {
protected:
    MediaLibraryTest() : settings(tree.file("test.ini")), library(settings) {
        music = tree.folder("music");
        settings.setSharedDirs({music});
    }

    std::vector<std::string> expand(const std::string& path) {
        std::vector<std::string> items;
        library.expandPath(path, items);
        return items;
    }

    test::TempDir tree;
    Settings settings;
    MediaLibrary library;
    std::string music;
};

TEST_F(MediaLibraryTest, ListsDirectoriesAndPlayableFilesOnly) {
    tree.writePattern("music/a.MP3", 10);
    tree.writePattern("music/b.txt", 10);
    tree.writePattern("music/noextension", 10);
    tree.folder("music/Sub");
    std::set<std::string> paths;
    for (const auto& entry : library.listDirectory(music + "//")) paths.insert(entry.path);
    EXPECT_EQ(paths, (std::set<std::string>{music + "/..", music + "/Sub", music + "/a.MP3"}));
    EXPECT_TRUE(library.listDirectory(music + "/missing").empty());
}

TEST_F(MediaLibraryTest, LookupFileNeedsAllowedListablePath) {
    tree.writePattern("music/a.mp3", 10);
    tree.writePattern("music/b.txt", 10);
    tree.writePattern("outside.mp3", 10);
    EXPECT_EQ(library.lookupFile(music + "/a.mp3").name, "a.mp3");
    EXPECT_EQ(library.lookupFile(music + "/a.mp3").size, 10u);
    EXPECT_TRUE(library.lookupFile(music + "/b.txt").name.empty());
    EXPECT_TRUE(library.lookupFile(tree.file("outside.mp3")).name.empty());
    EXPECT_TRUE(library.lookupFile(music + "/../outside.mp3").name.empty());
    EXPECT_TRUE(library.lookupFile("search://a").name.empty());
    EXPECT_TRUE(library.lookupFile("http://h/a.mp3").name.empty());
}

// A download is refused as "not found" before anything is opened, and as
// "unreadable" when the name is found but is no regular file; the open file
// travels with its size and own name.
TEST_F(MediaLibraryTest, OpenDownloadTellsWhyThereIsNoFile) {
    tree.writePattern("music/a.mp3", 10);
    tree.folder("music/Folder.mp3");
    tree.writePattern("outside.mp3", 10);
    const DownloadFile found = library.openDownload(music + "/a.mp3");
    EXPECT_EQ(found.failure, DownloadFile::Failure::None);
    EXPECT_TRUE(found.file.valid());
    EXPECT_EQ(found.size, 10u);
    EXPECT_EQ(found.name, "a.mp3");
    for (const std::string& path : {tree.file("outside.mp3"), music + "/missing.mp3", std::string("search://a")}) {
        const DownloadFile refused = library.openDownload(path);
        EXPECT_EQ(refused.failure, DownloadFile::Failure::NotFound) << path;
        EXPECT_FALSE(refused.file.valid());
    }
    const DownloadFile folder = library.openDownload(music + "/Folder.mp3");
    EXPECT_EQ(folder.failure, DownloadFile::Failure::Unreadable);
    EXPECT_FALSE(folder.file.valid());
}

TEST_F(MediaLibraryTest, SharedDirsAreReadLive) {
    EXPECT_TRUE(library.isAllowedPath(music + "/x.mp3"));
    settings.setSharedDirs({"/elsewhere"});
    EXPECT_FALSE(library.isAllowedPath(music + "/x.mp3"));
    SharedDirList other({music});
    library.setSharedDirs(other);
    EXPECT_TRUE(library.isAllowedPath(music + "/x.mp3"));
}

TEST_F(MediaLibraryTest, ExpandsDirectoriesInByteOrderOfFullPaths) {
    tree.write("music/b.mp3");
    tree.write("music/A.mp3");
    tree.write("music/sub/c.mp3");
    tree.write("music/sub/notes.txt");
    tree.write("music/B/x.mp3");
    tree.write("music/Z.ogg");
    tree.folder("music/empty");
    const std::vector<std::string> expected{music + "/A.mp3", music + "/B/x.mp3", music + "/Z.ogg",
                                            music + "/b.mp3", music + "/sub/c.mp3"};
    EXPECT_EQ(expand(music), expected);
    EXPECT_EQ(expand(music + "///"), expected);
    EXPECT_TRUE(expand(music + "/empty").empty());
    EXPECT_TRUE(expand(music + "/missing").empty());
    EXPECT_TRUE(expand("").empty());
}

TEST_F(MediaLibraryTest, ExpandsSingleFilesAndPlainUrls) {
    tree.write("music/a.mp3");
    tree.write("music/notes.txt");
    EXPECT_EQ(expand(music + "/a.mp3/"), std::vector<std::string>{music + "/a.mp3"});
    EXPECT_EQ(expand(music + "/notes.txt"), std::vector<std::string>{music + "/notes.txt"});
    EXPECT_EQ(expand("http://host/x.mp3"), std::vector<std::string>{"http://host/x.mp3"});
    EXPECT_TRUE(expand("search://").empty());
    EXPECT_TRUE(expand("searchf://rock").empty());
}

// Another server's play list comes from the fetch the library was handed:
// the URL reaches it as written, no fetch or a failed one gives nothing, and
// a body cut short (by the fetch, or at the library's own bound whatever the
// fetch returned) loses its partial last line.
TEST_F(MediaLibraryTest, RemoteListsComeFromTheHandedInFetch) {
    const std::string url = "http://other:5151/stream?path=%2Fm&auth=";
    EXPECT_TRUE(expand(url).empty());

    const std::string list = "#EXTM3U\n#EXTINF:0,a\nhttp://h/a.mp3\n#EXTINF:0,b\nhttp://h/b.mp3";
    const std::string pastTheBound = "#EXTINF:\nhttp://h/a.mp3\n#EXTINF:\nhttp://h/" +
                                     std::string(limits::kRemoteMaxResponseBytes, 'x') + ".mp3\n";
    struct Case {
        const char* what;
        FetchedBody answer;
        std::vector<std::string> items;
    };
    const Case cases[] = {
        {"failed", {false, list, false}, {}},
        {"whole", {true, list, false}, {"http://h/a.mp3", "http://h/b.mp3"}},
        {"cut short", {true, list, true}, {"http://h/a.mp3"}},
        {"past the library's bound", {true, pastTheBound, false}, {"http://h/a.mp3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> asked;
        library.setRemoteFetch([&](const std::string& fetched) {
            asked.push_back(fetched);
            return c.answer;
        });
        EXPECT_EQ(expand(url), c.items);
        EXPECT_EQ(asked, std::vector<std::string>{url});
    }
}

TEST_F(MediaLibraryTest, ExpansionSortsWhatWasGatheredBefore) {
    tree.write("music/a.mp3");
    std::vector<std::string> items{"zz-earlier"};
    library.expandPath(music, items);
    EXPECT_EQ(items, (std::vector<std::string>{music + "/a.mp3", "zz-earlier"}));
}

TEST_F(MediaLibraryTest, FollowsSymlinksButNotLoops) {
    tree.write("music/a.mp3");
    tree.write("elsewhere/linked.mp3");
    std::filesystem::create_directory_symlink(tree.file("elsewhere"), tree.file("music/link"));
    std::filesystem::create_directory_symlink(music, tree.file("music/loop"));
    EXPECT_EQ(expand(music), (std::vector<std::string>{music + "/a.mp3", music + "/link/linked.mp3"}));
}

TEST_F(MediaLibraryTest, DeepTreesExpandWithoutRecursion) {
    std::string relative = "music";
    for (int depth = 0; depth < 400; ++depth) relative += "/d";
    tree.write(relative + "/deep.mp3");
    // On a stack as small as a connection thread's, or smaller.
    std::vector<std::string> items;
    platform::SystemThread thread;
    ASSERT_TRUE(thread.start([&] { library.expandPath(music, items); }, 64 * 1024));
    thread.join();
    EXPECT_EQ(items, std::vector<std::string>{tree.file(relative + "/deep.mp3")});
}

// A folder big enough for its listing to be kept between requests: what
// changed since the last listing is in the next one.
TEST_F(MediaLibraryTest, ListingOfABigFolderShowsChangesSinceTheLastOne) {
    for (int i = 0; i < 600; ++i) tree.writePattern("music/big/t" + std::to_string(i) + ".mp3", 1);
    const std::string big = music + "/big";
    auto sizeOf = [&](const std::string& name) -> std::int64_t {
        for (const auto& entry : library.listDirectory(big)) {
            if (entry.path == big + "/" + name) return static_cast<std::int64_t>(entry.size);
        }
        return -1;
    };
    EXPECT_EQ(library.listDirectory(big).size(), 601u);
    EXPECT_EQ(sizeOf("t7.mp3"), 1);
    tree.writePattern("music/big/t7.mp3", 70);
    EXPECT_EQ(sizeOf("t7.mp3"), 70);
    tree.writePattern("music/big/new.mp3", 5);
    EXPECT_EQ(sizeOf("new.mp3"), 5);
    std::filesystem::remove(big + "/t8.mp3");
    EXPECT_EQ(sizeOf("t8.mp3"), -1);
    EXPECT_EQ(library.listDirectory(big).size(), 601u);
}

}  // namespace
}  // namespace lyrebox
