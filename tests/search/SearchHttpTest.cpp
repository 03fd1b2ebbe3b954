// Search end to end over HTTP: a real index built by the router's media
// library, answered through "library.js", "stream" and "enqueuefile".
//
// One test on purpose: the router's library keeps its index beside the test
// program, so tests of this program must not run in parallel with each other.
#include "tests/api/ApiServer.h"
#include "tests/library/TempTree.h"

#include "library/LibraryText.h"
#include "library/MediaLibrary.h"

namespace lyrebox::test {
namespace {

std::string encodedQuery(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        static const char* hex = "0123456789abcdef";
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

TEST(SearchOverHttp, ListsStreamsAndEnqueuesSearchResults) {
    TempTree tree;
    const std::string music = tree.dir("music");
    const std::string wanted = tree.file("music/Artist - Title.mp3");
    const std::string other = tree.file("music/Artist - Other.mp3");
    const std::string folder = tree.dir("music/Rock Folder");
    tree.file("music/Rock Folder/Rock Song.mp3");

    ApiServer server;
    ASSERT_TRUE(server.started());
    Settings& settings = server.router().settings();
    MediaLibrary& library = server.router().library();
    settings.setSharedDirs({music});
    library.setSharedDirs(settings.sharedDirs());
    ASSERT_TRUE(library.startIndexer());
    library.waitIndexerIdle();

    // A query typed as a file name finds that file only.
    const std::string listing =
        server.body("/library.js?callback=cb&path=" + encodedQuery("search://Artist - Title"));
    EXPECT_EQ(listing.rfind("cb(", 0), 0u) << listing;
    EXPECT_NE(listing.find(percentEncode(wanted)), std::string::npos) << listing;
    EXPECT_EQ(listing.find(percentEncode(other)), std::string::npos) << listing;

    // Directories only.
    const std::string folders = server.body("/library.js?path=" + encodedQuery("searchf://rock"));
    EXPECT_NE(folders.find(percentEncode(folder)), std::string::npos) << folders;
    EXPECT_NE(folders.find("%24DIR%24"), std::string::npos) << folders;
    EXPECT_EQ(folders.find("Song"), std::string::npos) << folders;

    // A stream play list of the results; a directory result expands into its files.
    const RawResponse stream = server.get("/stream?path=" + encodedQuery("searchf://rock"));
    EXPECT_EQ(stream.status, 200);
    EXPECT_NE(stream.body.find(percentEncode(folder + "/Rock Song.mp3")), std::string::npos) << stream.body;
    EXPECT_EQ(server.get("/stream?path=" + encodedQuery("search://nothingmatches")).status, 404);

    // Enqueued into the player's play list.
    EXPECT_EQ(server.body("/enqueuefile?filename=" + encodedQuery("search://artist title")), "1");
    std::vector<std::string> files;
    server.player.with([&](FakePlayer& p) {
        for (const auto& entry : p.entries) files.push_back(entry.fileName);
    });
    EXPECT_EQ(files, std::vector<std::string>{wanted});
}

}  // namespace
}  // namespace lyrebox::test
