// The real player on a private session bus (the test runs under
// dbus-run-session), driven by a desktop client: playerctl plays, pauses,
// skips, seeks and reads metadata and status, and a change made over HTTP
// reaches the bus as PropertiesChanged.
#include "tests/support/PlayerProcess.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace lyrebox {
namespace {

using test::PlayerProcess;

std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        ::pclose(pipe);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string ctl(const std::string& args) { return run("playerctl -p lyrebox " + args); }

// Watches the bus's signals from the player's object (dbus-monitor, which
// says it has become a monitor before anything else).
class SignalWatch : public test::ChildProcess {
public:
    SignalWatch()
        : ChildProcess({"dbus-monitor", "--session",
                        "type='signal',path='/org/mpris/MediaPlayer2',interface='org.freedesktop.DBus.Properties'"},
                       1) {
        waitFor("NameLost");
    }
    std::string seen() const { return said(); }
};

class MprisProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "needs dbus-run-session";
        if (run("command -v playerctl").empty()) GTEST_SKIP() << "playerctl is not installed";
        const char* names[] = {"one", "two", "three"};
        for (const char* name : names) {
            // Numbered, so the folder's byte order is the play order.
            const std::string file = "music/" + std::to_string(tracks_.size() + 1) + " " + name + ".wav";
            tracks_.push_back(dir_.file(file));
            dir_.write(file);
            test::writeSilentWav(tracks_.back(), 60000);
            ASSERT_TRUE(test::tagFile(tracks_.back(), std::string("Song ") + name, "The Band", "The Album"));
        }
        cover_ = dir_.write("music/cover.jpg", "not really a picture");
        player_ = std::make_unique<PlayerProcess>(PlayerProcess::Setup{.args = {dir_.file("music")}});
        ASSERT_TRUE(player_->waitFor("on the session bus as org.mpris.MediaPlayer2.lyrebox")) << player_->said();
        ASSERT_TRUE(player_->waitFor("running with 1 plugin")) << player_->said();
    }
    void TearDown() override {
        if (player_) {
            EXPECT_EQ(player_->quit(), 0) << player_->said();
        }
    }

    test::TempDir dir_;
    std::vector<std::string> tracks_;
    std::string cover_;
    std::unique_ptr<PlayerProcess> player_;
};

TEST_F(MprisProcessTest, PlayerctlDrivesTheTransport) {
    EXPECT_EQ(ctl("status"), "Playing");
    const struct {
        const char* command;
        const char* status;
    } steps[] = {
        {"pause", "Paused"}, {"play", "Playing"}, {"play-pause", "Paused"}, {"play-pause", "Playing"},
        {"stop", "Stopped"}, {"play", "Playing"},
    };
    for (const auto& step : steps) {
        ctl(step.command);
        EXPECT_EQ(ctl("status"), step.status) << step.command;
    }
    EXPECT_EQ(ctl("metadata xesam:title"), "Song one");
    ctl("next");
    EXPECT_EQ(ctl("metadata xesam:title"), "Song two");
    EXPECT_EQ(player_->get("/getplaylistpos"), "1");
    ctl("previous");
    EXPECT_EQ(ctl("metadata xesam:title"), "Song one");
}

TEST_F(MprisProcessTest, MetadataDescribesThePlayingTrack) {
    EXPECT_EQ(ctl("metadata --format '{{xesam:title}}|{{xesam:artist}}|{{xesam:album}}|{{mpris:length}}'"),
              "Song one|The Band|The Album|60000000");
    EXPECT_EQ(ctl("metadata xesam:url"), "file://" + dir_.file("music/1%20one.wav"));
    EXPECT_EQ(ctl("metadata mpris:artUrl"), "file://" + cover_);
    EXPECT_EQ(ctl("metadata mpris:trackid"), "'/org/lyrebox/Player/Track/0'");  // playerctl quotes a path
}

TEST_F(MprisProcessTest, SeeksAndSettingsGoBothWays) {
    ctl("position 20");
    EXPECT_GE(std::atof(ctl("position").c_str()), 20.0);
    ctl("position 10+");
    EXPECT_GE(std::atof(ctl("position").c_str()), 30.0);
    EXPECT_LT(std::atof(ctl("position").c_str()), 60.0);

    ctl("volume 0.2");
    EXPECT_EQ(player_->get("/getvolume"), "51");
    ctl("loop Playlist");
    EXPECT_EQ(player_->get("/getrepeat"), "1");
    ctl("shuffle On");
    EXPECT_EQ(player_->get("/getshuffle"), "1");
    player_->get("/setrepeat?setting=off");
    EXPECT_EQ(ctl("loop"), "None");
    player_->get("/setvolume?level=255");
    EXPECT_EQ(ctl("volume"), "1.000000");
}

TEST_F(MprisProcessTest, ChangesMadeOverHttpAreSignalled) {
    SignalWatch watch;
    player_->get("/setvolume?level=51");
    ASSERT_TRUE(watch.waitFor("double 0.2")) << watch.seen();
    EXPECT_NE(watch.seen().find("PropertiesChanged"), std::string::npos);
    EXPECT_NE(watch.seen().find("\"Volume\""), std::string::npos);
    player_->get("/pause");
    ASSERT_TRUE(watch.waitFor("\"Paused\"")) << watch.seen();
    player_->get("/next");
    ASSERT_TRUE(watch.waitFor("Song two")) << watch.seen();
}

TEST_F(MprisProcessTest, OpenUriPlaysAFileAndRefusesOtherSchemes) {
    EXPECT_EQ(run("gdbus call --session -d org.mpris.MediaPlayer2.lyrebox -o /org/mpris/MediaPlayer2 "
                  "-m org.mpris.MediaPlayer2.Player.OpenUri 'file://" + tracks_[2] + "'"),
              "()");
    EXPECT_EQ(player_->get("/getplaylistlength"), "4");
    EXPECT_EQ(ctl("metadata xesam:title"), "Song three");
    const std::string refused = run("gdbus call --session -d org.mpris.MediaPlayer2.lyrebox -o /org/mpris/MediaPlayer2 "
                                    "-m org.mpris.MediaPlayer2.Player.OpenUri 'ftp://127.0.0.1/x.mp3'");
    EXPECT_NE(refused.find("only file, http and https"), std::string::npos) << refused;
    EXPECT_EQ(player_->get("/getplaylistlength"), "4");
}

}  // namespace
}  // namespace lyrebox
