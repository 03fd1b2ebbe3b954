// The real player process keeps its play list and settings across a restart,
// starts empty on a damaged state file, lets files on its command line
// replace the list, and says where its web app is or why it does not run.
#include "tests/support/PlayerProcess.h"
#include "TestMedia.h"

#include "host/state/SavedState.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace lyrebox {
namespace {

using test::PlayerProcess;

class PlayerStateProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
            tracks_.push_back(dir_.file(std::string("music/") + name));
            dir_.write(std::string("music/") + name);
            test::writeSilentWav(tracks_.back(), 60000);
        }
    }

    PlayerProcess::Setup setup(std::vector<std::string> args = {}) {
        PlayerProcess::Setup s;
        s.stateHome = dir_.file("state");
        s.pluginFolder = dir_.file("plugins");
        s.iniLines = "Shared Dirs=" + dir_.file("music") + ";\r\n";
        s.args = std::move(args);
        s.env["DBUS_SESSION_BUS_ADDRESS"] = "";  // no desktop bus in these runs
        s.env["XDG_RUNTIME_DIR"] = dir_.file("runtime");
        return s;
    }
    std::string statePath() const { return dir_.file("state/lyrebox/playlist.m3u8"); }

    test::TempDir dir_;
    std::vector<std::string> tracks_;
};

TEST_F(PlayerStateProcessTest, EverythingEditedOverHttpIsBackAfterARestart) {
    {
        PlayerProcess player(setup());
        ASSERT_TRUE(player.waitFor("running with 1 plugin")) << player.said();
        EXPECT_NE(player.said().find("no saved play list yet"), std::string::npos) << player.said();
        const char* titles[] = {"First,%20one", "Second", "Third"};  // as a query encodes them
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(player.get("/enqueuefile?filename=" + tracks_[static_cast<std::size_t>(i)] + "&title=" + titles[i]), "1");
        player.get("/setplaylistpos?index=1");
        player.get("/play");
        player.get("/setvolume?level=77");
        player.get("/setshuffle?setting=on");
        player.get("/setrepeat?setting=on");
        player.get("/setposition?pos=0.5");
        EXPECT_EQ(player.quit(), 0) << player.said();
    }
    {
        // Restored stopped at the saved place.
        PlayerProcess player(setup());
        ASSERT_TRUE(player.waitFor("running with 1 plugin")) << player.said();
        EXPECT_NE(player.said().find("restored 3 entries"), std::string::npos) << player.said();
        EXPECT_EQ(player.get("/getplaylistlength"), "3");
        EXPECT_EQ(player.get("/getplaylisttitle?index=0"), "First, one");
        EXPECT_EQ(player.get("/getplaylistfilename?index=2"), tracks_[2]);
        EXPECT_EQ(player.get("/getplaylistpos"), "1");
        EXPECT_EQ(player.get("/getvolume"), "77");
        EXPECT_EQ(player.get("/getshuffle"), "1");
        EXPECT_EQ(player.get("/getrepeat"), "1");
        EXPECT_EQ(player.quit(), 0) << player.said();
    }
    // A run that stayed stopped keeps the place; --play starts there.
    PlayerProcess player(setup({"--play"}));
    ASSERT_TRUE(player.waitFor("running with 1 plugin")) << player.said();
    EXPECT_EQ(player.get("/getplaylistpos"), "1");
    EXPECT_GE(std::atof(player.get("/getposition").c_str()), 0.5) << player.said();
    EXPECT_EQ(player.quit(), 0);
}

TEST_F(PlayerStateProcessTest, ADamagedStateFileStartsEmptyAndIsReplacedWhole) {
    dir_.write("state/lyrebox/playlist.m3u8", std::string("#EXTM3U\n\0\xff garbage", 18));
    PlayerProcess player(setup());
    ASSERT_TRUE(player.waitFor("running with 1 plugin")) << player.said();
    EXPECT_NE(player.said().find("playlist.m3u8 is damaged: starting empty"), std::string::npos) << player.said();
    EXPECT_EQ(player.get("/getplaylistlength"), "0");
    player.get("/enqueuefile?filename=" + tracks_[0] + "&title=t");
    EXPECT_EQ(player.quit(), 0);
    SavedState saved;
    ASSERT_EQ(loadStateFile(statePath(), saved), LoadResult::Loaded);
    EXPECT_EQ(saved.entries.size(), 1u);
}

TEST_F(PlayerStateProcessTest, FilesOnTheCommandLineReplaceTheListButKeepTheSettings) {
    SavedState saved;
    saved.entries = {{tracks_[0], "old a", 60}, {tracks_[1], "old b", 60}, {tracks_[2], "old c", 60}};
    saved.current = 2;
    saved.volume = 33;
    saved.repeat = true;
    ASSERT_TRUE(writeStateFile(statePath(), formatState(saved)));
    PlayerProcess player(setup({tracks_[1]}));
    ASSERT_TRUE(player.waitFor("running with 1 plugin")) << player.said();
    EXPECT_EQ(player.get("/getplaylistlength"), "1");
    EXPECT_EQ(player.get("/getplaylistfilename?index=0"), tracks_[1]);
    EXPECT_EQ(player.get("/getvolume"), "33");
    EXPECT_EQ(player.get("/getrepeat"), "1");
    EXPECT_EQ(player.quit(), 0);
}

TEST_F(PlayerStateProcessTest, ATakenPortIsSaidOnStandardErrorAndThePlayerPlaysOn) {
    platform::Socket taken = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    ASSERT_TRUE(taken.valid());
    PlayerProcess::Setup s = setup({tracks_[0]});
    s.port = taken.localPort();
    PlayerProcess player(std::move(s));
    const std::string line = "web app not running: port " + std::to_string(taken.localPort()) + " is in use";
    ASSERT_TRUE(player.waitFor(line)) << player.said();
    ASSERT_TRUE(player.waitFor("running with 1 plugin")) << player.said();
    EXPECT_TRUE(player.alive());
    EXPECT_EQ(player.quit(), 0);
    // It was playing its file when it quit.
    SavedState saved;
    ASSERT_EQ(loadStateFile(statePath(), saved), LoadResult::Loaded);
    EXPECT_EQ(saved.entries.size(), 1u);
}

TEST_F(PlayerStateProcessTest, AnOutOfRangePortIsSaidAndNothingListens) {
    PlayerProcess::Setup s = setup({tracks_[0]});
    s.port = 65536 + 5151;
    PlayerProcess player(std::move(s));
    ASSERT_TRUE(player.waitFor("web app not running: listenPort 70687 is out of range (0 to 65535)")) << player.said();
    EXPECT_TRUE(player.alive());
    EXPECT_EQ(player.quit(), 0);
}

TEST_F(PlayerStateProcessTest, AFreePortPrintsWhereTheWebAppIs) {
    PlayerProcess loopback(setup());
    const std::string base = "http://127.0.0.1:" + std::to_string(loopback.port());
    ASSERT_TRUE(loopback.waitFor("web app at " + base + "/, touch remote " + base + "/remote\n")) << loopback.said();
    EXPECT_EQ(loopback.quit(), 0);

    PlayerProcess::Setup open = setup();
    open.listenIP = "0.0.0.0";
    PlayerProcess anyone(std::move(open));
    ASSERT_TRUE(anyone.waitFor("no password: anyone on the network can use it; to set one, ")) << anyone.said();
    EXPECT_NE(anyone.said().find(":" + std::to_string(anyone.port()) + "/remote"), std::string::npos);
    EXPECT_EQ(anyone.quit(), 0);
}

TEST_F(PlayerStateProcessTest, WithoutASessionBusThePlayerProcesssOn) {
    PlayerProcess player(setup({tracks_[0]}));
    EXPECT_TRUE(player.waitFor("no session bus: desktop media controls are off")) << player.said();
    EXPECT_EQ(player.get("/getplaylistlength"), "1");
    EXPECT_EQ(player.quit(), 0);
}

}  // namespace
}  // namespace lyrebox
