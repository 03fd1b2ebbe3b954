// Browse, download, stream and the path rule over real sockets, against the
// whole router on a loopback port.
#include "library/LibraryText.h"
#include "library/MediaLibrary.h"
#include "tests/library/LibraryServer.h"
#include "tests/support/TempDir.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

using test::TempDir;

class LibraryServerTest : public ::testing::Test {
protected:
    LibraryServerTest() : server(tree.file("test.ini")) {
        music = tree.folder("music");
        share({music});
    }
    void share(std::vector<std::string> dirs) { server.share(std::move(dirs)); }

    libtest::Response get(const std::string& name, const std::string& path, const std::string& extra = "") {
        return server.get(name, path, extra);
    }
    std::string browse(const std::string& path, const std::string& extra = "") {
        const auto response = get("library.js", path, extra);
        EXPECT_EQ(response.status, 200);
        return response.body;
    }

    TempDir tree;
    libtest::LibraryServer server;
    std::string music;
};

const std::string kRootEmpty = "({\"path\" : \"\",\n\"auth\" : \"\",\n\"files\" : [\n]});";

std::string dirEntry(const std::string& name, const std::string& path) {
    return "{\"name\" : \"" + percentEncode(name) + "\",\"path\" : \"" + percentEncode(path) +
           "\",\"type\" : \"%24DIR%24\" }";
}

TEST_F(LibraryServerTest, NoSharedDirectoriesGiveAnEmptyRoot) {
    share({});
    EXPECT_EQ(server.get("/library.js").body, kRootEmpty);
    EXPECT_EQ(browse(music), kRootEmpty);
    EXPECT_EQ(server.get("/library.js").header("Content-Type"), "text/javascript");
}

TEST_F(LibraryServerTest, RootListingForNoPathSlashAndOutsidePaths) {
    const std::string other = tree.folder("other");
    share({music, other});
    const std::string root = "({\"path\" : \"\",\n\"auth\" : \"\",\n\"files\" : [\n\n" + dirEntry(music, music) +
                             "\n,\n" + dirEntry(other, other) + "\n]});";
    EXPECT_EQ(server.get("/library.js").body, root);
    for (const std::string& path : std::vector<std::string>{"/", "", "/etc", tree.path(), music + "al", music + "/..", "relative"}) {
        EXPECT_EQ(browse(path), root) << path;
    }
}

TEST_F(LibraryServerTest, ListsOnlyDirectoriesAndPlayableFiles) {
    tree.writePattern("music/a.MP3", 3);
    tree.writePattern("music/b.txt", 3);
    tree.writePattern("music/README", 3);
    tree.folder("music/Sub");
    const std::string body = browse(music + "/", "&sortby=0");
    EXPECT_EQ(body, "({\"path\" : \"" + percentEncode(music + "/") +
                        "\",\n\"auth\" : \"\",\n\"files\" : [\n{\"name\" : \"..\",\"type\" : \"$UP$\" },\n" + dirEntry("Sub", music + "/Sub") +
                        "\n,\n{\"name\" : \"a%2eMP3\",\"path\" : \"" + percentEncode(music + "/a.MP3") +
                        "\",\"type\" : \"mp3\" }\n]});");
}

TEST_F(LibraryServerTest, SortsByNameDateAndSize) {
    using namespace std::chrono_literals;
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(tree.writePattern("music/a.mp3", 300), now - 1h);
    std::filesystem::last_write_time(tree.writePattern("music/B.mp3", 100), now - 3h);
    std::filesystem::last_write_time(tree.writePattern("music/c\xE9.mp3", 200), now - 2h);
    const auto order = [&](const std::string& query) {
        const std::string body = browse(music, query);
        std::string names;
        for (auto at = body.find("\"name\" : \""); at != std::string::npos; at = body.find("\"name\" : \"", at + 1)) {
            names += body.substr(at + 10, body.find('"', at + 10) - at - 10) + " ";
        }
        return names;
    };
    EXPECT_EQ(order("&sortby=0&sortdir=0"), ".. B%2emp3 a%2emp3 c%e9%2emp3 ");
    EXPECT_EQ(order("&sortby=0&sortdir=1"), ".. c%e9%2emp3 a%2emp3 B%2emp3 ");
    EXPECT_EQ(order("&sortby=1"), ".. B%2emp3 c%e9%2emp3 a%2emp3 ");
    EXPECT_EQ(order("&sortby=1&sortdir=1"), ".. a%2emp3 c%e9%2emp3 B%2emp3 ");
    EXPECT_EQ(order("&sortby=2&sortdir=1"), ".. a%2emp3 c%e9%2emp3 B%2emp3 ");
    EXPECT_EQ(order("&sortby=2"), ".. B%2emp3 c%e9%2emp3 a%2emp3 ");
}

TEST_F(LibraryServerTest, CallbackIsUsedOnlyWhenPlain) {
    const std::string show = browse(music, "&callback=show");
    EXPECT_EQ(show.rfind("show(", 0), 0u);
    EXPECT_EQ(show.substr(show.size() - 4), "]});");
    EXPECT_EQ(browse(music).rfind("({", 0), 0u);
    EXPECT_EQ(browse(music, "&callback=" + percentEncode("alert(1);x")).rfind("({", 0), 0u);
    EXPECT_EQ(browse(music, "&callback=" + percentEncode("</script><script>")).rfind("({", 0), 0u);
}

TEST_F(LibraryServerTest, SearchPathsListOnlyTheUpEntryUntilIndexed) {
    const std::string upOnly = "\"files\" : [\n{\"name\" : \"..\",\"type\" : \"$UP$\" }]});";
    for (const std::string path : {"search://", "searchf://rock", "http://host/x.mp3"}) {
        const std::string body = browse(path);
        EXPECT_EQ(body.substr(body.size() - upOnly.size()), upOnly) << path;
    }
}

// Paths that name something outside the shared directory, or nothing at all.
std::vector<std::string> hostilePaths(const TempDir& tree, const std::string& music) {
    return {music + "/../secret.mp3",
            music + "/../musical/secret.mp3",
            music + "/./../secret.mp3",
            music + "/sub/../../secret.mp3",
            music + "/..",
            music + "/../",
            tree.file("musical/secret.mp3"),
            tree.file("musical"),
            tree.file("secret.mp3"),
            "/" + music + "/../secret.mp3",
            music + "//..//secret.mp3",
            music + std::string("/a.mp3\0/../../secret.mp3", 24),
            music + std::string(1, '\0'),
            "",
            "/"};
}

TEST_F(LibraryServerTest, HostilePathsReachNothingOutside) {
    tree.writePattern("music/a.mp3", 10);
    tree.writePattern("music/sub/b.mp3", 10);
    tree.writePattern("musical/secret.mp3", 10);
    tree.writePattern("secret.mp3", 10);
    for (const auto& path : hostilePaths(tree, music)) {
        SCOPED_TRACE(path);
        EXPECT_EQ(browse(path).find("\"path\" : \"\","), 2u);
        EXPECT_EQ(get("download", path).status, 404);
        EXPECT_EQ(get("stream", path).status, 404);
        const auto enqueue = server.get("/enqueuefile?filename=" + percentEncode(path) + "&title=x");
        EXPECT_EQ(enqueue.body, "0");
        const auto insert = server.get("/insertfile?filename=" + percentEncode(path) + "&title=x&index=0");
        EXPECT_EQ(insert.body, "0");
    }
    // "%2e%2e" sent encoded arrives as ".." and is refused; sent double-encoded it is an ordinary name.
    EXPECT_EQ(server.get("/download?path=" + percentEncode(music) + "/%2e%2e/secret.mp3").status, 404);
    EXPECT_EQ(server.get("/download?path=" + percentEncode(music + "/") + "%252e%252e%2fsecret.mp3").status, 404);
    const std::string playlist = "t\t" + music + "/../secret.mp3\nu\t" + tree.file("secret.mp3") + "\n";
    EXPECT_EQ(server.get("/enqueueplaylist?playlist=" + percentEncode(playlist)).body, "1");
    EXPECT_TRUE(server.entries().empty());
}

// Adding nothing is no failure: only the path rule and the bounds answer "0".
// A file named directly is taken whatever its extension.
TEST_F(LibraryServerTest, EnqueueingNothingPlayableAnswersOne) {
    tree.folder("music/empty");
    tree.writePattern("music/texts/notes.txt", 5);
    for (const std::string& path : {music + "/empty", music + "/texts", music + "/missing"}) {
        EXPECT_EQ(server.get("/enqueuefile?filename=" + percentEncode(path)).body, "1") << path;
        EXPECT_EQ(server.get("/insertfile?index=0&filename=" + percentEncode(path)).body, "1") << path;
    }
    EXPECT_TRUE(server.entries().empty());
    EXPECT_EQ(server.get("/enqueuefile?filename=" + percentEncode(music + "/texts/notes.txt")).body, "1");
    EXPECT_EQ(server.entries().size(), 1u);
}

TEST_F(LibraryServerTest, SymlinksAreFollowedAsTheFileSystemDoes) {
    tree.writePattern("elsewhere/linked.mp3", 10);
    std::filesystem::create_directory_symlink(tree.file("elsewhere"), music + "/link");
    EXPECT_EQ(get("download", music + "/link/linked.mp3").status, 200);
    EXPECT_NE(browse(music + "/link").find("linked%2emp3"), std::string::npos);
}

TEST_F(LibraryServerTest, RootDirectoryAsShareCoversEverything) {
    tree.writePattern("music/a.mp3", 10);
    share({"/"});
    EXPECT_NE(browse("/").find("\"path\" : \"%2f\""), std::string::npos);
    EXPECT_EQ(get("download", music + "/a.mp3").status, 200);
    EXPECT_EQ(get("download", music + "/../music/a.mp3").status, 404);
}

}  // namespace
}  // namespace lyrebox
