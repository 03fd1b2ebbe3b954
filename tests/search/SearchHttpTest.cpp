// Search end to end over HTTP: a real index built by the router's media
// library, answered through "library.js", "stream" and "enqueuefile".
//
// One test on purpose: the router's library keeps its index beside the test
// program, so tests of this program must not run in parallel with each other.
#include "tests/library/LibraryServer.h"
#include "tests/support/TempDir.h"

#include "library/LibraryText.h"
#include "library/MediaLibrary.h"

namespace lyrebox::test {
namespace {

using libtest::LibraryServer;
using libtest::Response;

std::string body(LibraryServer& server, const std::string& name, const std::string& path,
                 const std::string& extra = "") {
    const Response response = server.get(name, path, extra);
    EXPECT_EQ(response.status, 200) << name << " " << path;
    return response.body;
}

TEST(SearchOverHttp, ListsStreamsAndEnqueuesSearchResults) {
    TempDir tree;
    const std::string music = tree.folder("music");
    const std::string wanted = tree.write("music/Artist - Title.mp3");
    const std::string other = tree.write("music/Artist - Other.mp3");
    const std::string folder = tree.folder("music/Rock Folder");
    tree.write("music/Rock Folder/Rock Song.mp3");

    LibraryServer server(tree.file("test.ini"));
    Settings& settings = server.router().settings();
    MediaLibrary& library = server.library();
    server.share({music});
    library.setSharedDirs(settings.sharedDirs());
    ASSERT_TRUE(library.startIndexer());
    library.waitIndexerIdle();

    // A query typed as a file name finds that file only.
    const std::string listing = body(server, "library.js", "search://Artist - Title", "&callback=cb");
    EXPECT_EQ(listing.rfind("cb(", 0), 0u) << listing;
    EXPECT_NE(listing.find(percentEncode(wanted)), std::string::npos) << listing;
    EXPECT_EQ(listing.find(percentEncode(other)), std::string::npos) << listing;

    // Directories only.
    const std::string folders = body(server, "library.js", "searchf://rock");
    EXPECT_NE(folders.find(percentEncode(folder)), std::string::npos) << folders;
    EXPECT_NE(folders.find("%24DIR%24"), std::string::npos) << folders;
    EXPECT_EQ(folders.find("Song"), std::string::npos) << folders;

    // A stream play list of the results; a directory result expands into its files.
    const std::string stream = body(server, "stream", "searchf://rock");
    EXPECT_NE(stream.find(percentEncode(folder + "/Rock Song.mp3")), std::string::npos) << stream;
    EXPECT_EQ(server.get("stream", "search://nothingmatches", "").status, 404);

    // Enqueued into the player's play list.
    EXPECT_EQ(server.get("/enqueuefile?filename=" + percentEncode("search://artist title")).body, "1");
    std::vector<std::string> files;
    for (const auto& entry : server.entries()) files.push_back(entry.fileName);
    EXPECT_EQ(files, std::vector<std::string>{wanted});
}

}  // namespace
}  // namespace lyrebox::test
