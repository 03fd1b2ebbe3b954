// "browse.json" over HTTP: names that are not UTF-8 or would break out of a
// script stay well-formed JSON, and the paths it gives back work unchanged in
// later requests (browse.json again, download).
#include "tests/support/CheckedServer.h"
#include "tests/support/FakePlayer.h"
#include "config/Settings.h"
#include "library/LibraryText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace lyrebox {
namespace {

using test::CheckedServer;
using test::FakePlayer;
using test::TempDir;

// The value of the "path" of the entry whose encoded path ends in suffix.
std::string entryPath(const std::string& json, const std::string& encodedSuffix) {
    const std::string needle = encodedSuffix + "\",\"type\"";
    const auto end = json.find(needle);
    if (end == std::string::npos) return {};
    const auto start = json.rfind("\"path\":\"", end);
    return json.substr(start + 8, end + encodedSuffix.size() - start - 8);
}

bool isWellFormedJson(const std::string& text) {
    const auto path = std::filesystem::temp_directory_path() / ("lyrebox-browse-" + std::to_string(::getpid()) + ".json");
    std::ofstream(path, std::ios::binary) << text;
    const std::string command = "python3 -c 'import json,sys; json.load(open(sys.argv[1], encoding=\"utf-8\"))' '" +
                                path.string() + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    std::filesystem::remove(path);
    return status == 0;
}

class BrowseJsonTest : public ::testing::Test {
protected:
    TempDir tree;
    FakePlayer player;
    CheckedServer server{player.mainWindow()};
    std::string music;

    void SetUp() override {
        ASSERT_TRUE(server.started());
        music = tree.folder("music");
        server.router().settings().setSharedDirs({music});
        tree.writePattern("music/caf\xE9 \"q\".mp3", 300);
        tree.writePattern("music/</script><!--.ogg", 10);
        tree.writePattern("music/Live/\x01\xFF.flac", 20);
        tree.writePattern("music/notes.txt", 5);
    }
    std::string browse(const std::string& encodedPath, const std::string& more = {}) {
        const auto answer = server.get("/browse.json?path=" + encodedPath + more);
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.header("Content-Type"), "application/json; charset=utf-8");
        EXPECT_TRUE(isWellFormedJson(answer.body)) << answer.body;
        return answer.body;
    }
};

TEST_F(BrowseJsonTest, HostileAndNonUtf8NamesRoundTripThroughBrowseAndDownload) {
    const std::string listing = browse(percentEncode(music), "&sortby=0&sortdir=0");
    EXPECT_EQ(listing.find("</script>"), std::string::npos);
    EXPECT_EQ(listing.find("<!--"), std::string::npos);
    EXPECT_EQ(listing.find("notes"), std::string::npos) << "only playable files and folders";
    EXPECT_NE(listing.find("\"name\":\"caf\xEF\xBF\xBD \\\"q\\\".mp3\""), std::string::npos) << listing;

    const std::string cafe = entryPath(listing, "caf%e9%20%22q%22%2emp3");
    ASSERT_FALSE(cafe.empty()) << listing;
    const auto download = server.get("/download?path=" + cafe);
    EXPECT_EQ(download.status, 200);
    EXPECT_EQ(download.body.size(), 300u);

    const std::string live = entryPath(listing, "%2fLive");
    ASSERT_FALSE(live.empty());
    const std::string inside = browse(live);
    EXPECT_NE(inside.find("\"parent\":\"" + percentEncode(music) + "\""), std::string::npos) << inside;
    const std::string odd = entryPath(inside, "%01%ff%2eflac");
    ASSERT_FALSE(odd.empty()) << inside;
    EXPECT_EQ(server.get("/download?path=" + odd).body.size(), 20u);
}

TEST_F(BrowseJsonTest, RefusedPathsGiveTheRootListing) {
    const std::string root = "{\"path\":\"\",\"name\":\"\",\"root\":true,\"parent\":null,\"crumbs\":[]";
    for (const std::string& path : {std::string(), percentEncode(tree.path()), percentEncode(music + "/../music"),
                                    percentEncode(music + "/Live/..")}) {
        EXPECT_EQ(browse(path).rfind(root, 0), 0u) << path;
    }
    EXPECT_NE(browse("").find("\"entries\":[{\"name\":\"" + music + "\",\"path\":\"" + percentEncode(music) + "\""),
              std::string::npos);
}

TEST_F(BrowseJsonTest, SearchesSayTheirCountAndTheIndexState) {
    const std::string answer = browse("searchf%3a%2f%2flive");
    EXPECT_NE(answer.find("\"search\":\"live\",\"dirsOnly\":true,\"total\":0,\"cut\":false,\"entries\":[]"),
              std::string::npos)
        << answer;
    EXPECT_NE(answer.find("\"indexMissing\":true"), std::string::npos) << "no pass has run";
}

}  // namespace
}  // namespace lyrebox
