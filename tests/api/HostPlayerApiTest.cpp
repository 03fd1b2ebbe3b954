// Commands and documents over HTTP against the host's own player model (silent
// clock engine) with real media files and their tags.
#include "tests/support/CheckedServer.h"
#include "tests/support/HostPlayer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace lyrebox {
namespace {

using test::CheckedServer;
using test::HostPlayer;

class HostPlayerApiTest : public ::testing::Test {
protected:
    static inline std::filesystem::path dir;
    static inline std::string tagged, plain;

    // Two short WAV files, one with title, artist and album, one without tags.
    static void SetUpTestSuite() {
        dir = std::filesystem::temp_directory_path() / ("lyrebox-api-media-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        tagged = (dir / "tagged.wav").string();
        plain = (dir / "plain file.wav").string();
        const std::string ffmpeg = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=";
        ASSERT_EQ(std::system((ffmpeg + "5 -metadata 'title=Song ]]> <One>' -metadata 'artist=The Band' "
                                        "-metadata 'album=First LP' '" + tagged + "'").c_str()), 0);
        ASSERT_EQ(std::system((ffmpeg + "3 -map_metadata -1 -fflags +bitexact '" + plain + "'").c_str()), 0);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir); }

    HostPlayer player;
    // Created on the player's thread with the batch relay, as the plugin does.
    CheckedServer server{player.mainWindow(), player.onThread()};

    void SetUp() override {
        ASSERT_TRUE(server.started());
        player.with([](Player& p) {
            p.enqueue(plain, "Plain title", 0);
            p.enqueue(tagged, "", 0);
        });
    }
};

TEST_F(HostPlayerApiTest, ConsoleShowsTheTagsOfThePlayingTrack) {
    EXPECT_EQ(server.body("/setplaylistpos?index=1"), "1");
    EXPECT_EQ(server.body("/play"), "1");
    EXPECT_EQ(server.body("/setshuffle?setting=on"), "1");
    EXPECT_EQ(server.body("/setvolume?level=180"), "1");
    const std::string console = server.body("/consolestatus.xml");
    const std::string expectedStart =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n"
        "<console><volume>180</volume><shuffle>1</shuffle><repeat>0</repeat>"
        "<album><![CDATA[First LP]]></album><artist><![CDATA[The Band]]></artist>"
        "<title><![CDATA[Song ]]]]><![CDATA[> <One>]]></title><filename><![CDATA[" + tagged + "]]></filename>"
        "<length><![CDATA[0:05]]></length><lengthms>5000</lengthms><bitrate><![CDATA[";
    EXPECT_EQ(console.substr(0, expectedStart.size()), expectedStart);
    const auto at = console.find("<position>");
    ASSERT_NE(at, std::string::npos);
    const double position = std::strtod(console.c_str() + at + 10, nullptr);
    EXPECT_GE(position, 0.0);
    EXPECT_LE(position, 1.0);
    EXPECT_TRUE(console.ends_with("</position></console>")) << console;
}

TEST_F(HostPlayerApiTest, UntaggedTrackFallsBackToItsPlayListTitle) {
    const std::string console = server.body("/consolestatus.xml");
    EXPECT_NE(console.find("<album><![CDATA[]]></album><artist><![CDATA[]]></artist>"
                           "<title><![CDATA[Plain title]]></title><filename><![CDATA[" + plain + "]]></filename>"
                           "<length><![CDATA[0:03]]></length><lengthms>3000</lengthms>"),
              std::string::npos)
        << console;
}

TEST_F(HostPlayerApiTest, PlayListAndCommandsDriveTheRealPlayer) {
    EXPECT_EQ(server.body("/getplaylistlength"), "2");
    EXPECT_EQ(server.body("/getplaylisttitle?index=0"), "Plain title");
    EXPECT_EQ(server.body("/getplaylistfilename?index=1"), tagged);
    EXPECT_EQ(server.get("/getplaylistfilename?index=2").header("Content-Length"), "0");
    EXPECT_EQ(server.body("/next"), "1");
    EXPECT_EQ(server.body("/prev"), "0");

    const std::string first = server.body("/playlist.xml?id=abc");
    EXPECT_NE(first.find("<playlist playing=\"0\" dirty=\"1\">\n<track>\n<index>0</index>\n"
                         "<title><![CDATA[Plain title]]></title>\n"),
              std::string::npos)
        << first;
    EXPECT_EQ(server.body("/playlist.xml?id=abc"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<playlist playing=\"0\" dirty=\"0\">\n</playlist>\n");

    EXPECT_EQ(server.body("/moveplaylistitem?from=0&to=1"), "1");
    EXPECT_EQ(server.body("/getplaylistpos"), "1");  // the current entry moved with its file
    EXPECT_EQ(server.body("/getplaylistfilename?index=1"), plain);
    EXPECT_NE(server.body("/playlist.xml?id=abc").find("dirty=\"1\""), std::string::npos);

    EXPECT_EQ(server.body("/clearplaylist"), "1");
    EXPECT_EQ(server.body("/play"), "1");
    EXPECT_EQ(server.body("/getposition"), "0");
}

}  // namespace
}  // namespace lyrebox
