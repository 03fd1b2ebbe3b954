// The player commands over HTTP, against a recording player in this process.
#include "tests/support/CheckedServer.h"
#include "tests/support/FakePlayer.h"

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

using platform::WM_COMMAND;
using test::CheckedServer;
using test::FakePlayer;

class PlayerCommandsTest : public ::testing::Test {
protected:
    FakePlayer player;
    CheckedServer server{player.mainWindow()};

    void SetUp() override {
        ASSERT_TRUE(server.started());
        player.setEntries({{"/m/0.mp3", "zero"}, {"/m/1.mp3", "one"}, {"/m/2.mp3", "two"}}, 1);
        player.takeLog();
    }
    template <typename T>
    T read(T FakePlayer::*field) {
        T value{};
        player.with([&](FakePlayer& p) { value = p.*field; });
        return value;
    }
};

TEST_F(PlayerCommandsTest, AnswersArePlainTextWithTheRoutersHeaders) {
    const auto response = server.get("/getvolume");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "100");
    EXPECT_EQ(response.header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(response.header("Content-Length"), "3");
    EXPECT_EQ(response.header("Cache-Control"), "no-cache, must-revalidate");
    EXPECT_EQ(response.header("Expires"), "-1");
}

TEST_F(PlayerCommandsTest, VolumeLevelIsPassedThroughAndMissingMeansZero) {
    const struct {
        const char* target;
        int volume;
    } cases[] = {{"/setvolume?level=300", 300}, {"/setvolume?level=42abc", 42}, {"/setvolume", 0},
                 {"/setvolume?level=-5", -5}};
    for (const auto& c : cases) {
        EXPECT_EQ(server.body(c.target), "1") << c.target;
        EXPECT_EQ(read(&FakePlayer::volume), c.volume) << c.target;
    }
    const auto posted = server.request(
        "POST /setvolume HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: 8\r\n\r\nlevel=77");
    EXPECT_EQ(posted.body, "1");
    EXPECT_EQ(read(&FakePlayer::volume), 77);
    EXPECT_EQ(server.body("/getvolume"), "77");
}

TEST_F(PlayerCommandsTest, OnlyTheLettersOnTurnASettingOn) {
    const struct {
        const char* setting;
        bool on;
    } cases[] = {{"on", true}, {"ON", false}, {"on", true}, {"1", false}, {"on", true}, {"", false}, {"on%20", false}, {"o%6E", true}};
    for (const auto& c : cases) {
        const std::string value = c.setting;
        EXPECT_EQ(server.body("/setshuffle?setting=" + value), "1");
        EXPECT_EQ(read(&FakePlayer::shuffle), c.on) << value;
        EXPECT_EQ(server.body("/getshuffle"), c.on ? "1" : "0");
        EXPECT_EQ(server.body("/setrepeat?setting=" + value), "1");
        EXPECT_EQ(read(&FakePlayer::repeat), c.on) << value;
        EXPECT_EQ(server.body("/getrepeat"), c.on ? "1" : "0");
    }
}

TEST_F(PlayerCommandsTest, PlayListTextsPastTheEndAreEmpty) {
    EXPECT_EQ(server.body("/getplaylistfilename?index=2"), "/m/2.mp3");
    EXPECT_EQ(server.body("/getplaylisttitle?index=0"), "zero");
    for (const char* target : {"/getplaylistfilename?index=3", "/getplaylisttitle?index=-1",
                               "/getplaylistfilename?index=99999999999"}) {
        const auto response = server.get(target);
        EXPECT_EQ(response.status, 200) << target;
        EXPECT_EQ(response.body, "") << target;
        EXPECT_EQ(response.header("Content-Length"), "0") << target;
    }
    EXPECT_EQ(server.body("/getplaylistlength"), "3");
}

TEST_F(PlayerCommandsTest, PreviousAndNextAnswerTheNewPosition) {
    EXPECT_EQ(server.body("/next"), "2");
    EXPECT_EQ(server.body("/next"), "0");
    EXPECT_EQ(server.body("/prev"), "2");
    EXPECT_EQ(server.body("/getplaylistpos"), "2");
    EXPECT_EQ(server.body("/setplaylistpos?index=1"), "1");
    EXPECT_EQ(server.body("/getplaylistpos"), "1");
}

TEST_F(PlayerCommandsTest, PlayWithAnEmptyListAnswersAndStartsNothing) {
    EXPECT_EQ(server.body("/clearplaylist"), "1");
    player.takeLog();
    EXPECT_EQ(server.body("/play"), "1");
    EXPECT_TRUE(player.takeLog(WM_COMMAND, false).empty());
}

TEST_F(PlayerCommandsTest, TransportCommandsAcknowledge) {
    const struct {
        const char* name;
        platform::WPARAM command;
    } cases[] = {{"/play", 40045},         {"/pause", 40046},        {"/stop", 40047},
                 {"/ffw5s", 40060},        {"/rew5s", 40061},        {"/toggleshuffle", 40023},
                 {"/togglerepeat", 40022}};
    for (const auto& c : cases) {
        EXPECT_EQ(server.body(c.name), "1") << c.name;
        const auto commands = player.takeLog(WM_COMMAND, false);
        ASSERT_EQ(commands.size(), 1u) << c.name;
        EXPECT_EQ(commands[0].wParam, c.command) << c.name;
    }
}

TEST_F(PlayerCommandsTest, PlayListEdits) {
    EXPECT_EQ(server.body("/moveplaylistitem?from=2&to=2"), "1");
    EXPECT_TRUE(player.takeLog(platform::WM_USER, true).empty());
    EXPECT_EQ(server.body("/moveplaylistitem?from=0&to=2"), "1");
    EXPECT_EQ(server.body("/getplaylisttitle?index=2"), "zero");
    EXPECT_EQ(server.body("/deleteplaylistitem?index=0"), "1");
    EXPECT_EQ(server.body("/getplaylistlength"), "2");
    EXPECT_EQ(server.body("/clearplaylist"), "1");
    EXPECT_EQ(server.body("/getplaylistlength"), "0");
}

TEST_F(PlayerCommandsTest, PositionIsAFractionAndZeroWithoutALength) {
    player.with([](FakePlayer& p) { p.lengthSeconds = 0, p.positionMs = 700; });
    EXPECT_EQ(server.body("/getposition"), "0");
    player.with([](FakePlayer& p) { p.lengthSeconds = 3, p.positionMs = 1000; });
    EXPECT_EQ(server.body("/getposition"), "0.333333");
    player.with([](FakePlayer& p) { p.positionMs = 1500; });
    EXPECT_EQ(server.body("/getposition"), "0.5");

    player.takeLog();
    EXPECT_EQ(server.body("/setposition?pos=0.25"), "1");
    auto log = player.takeLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].lParam, 106);
    EXPECT_EQ(log[1].wParam, 750u);
    EXPECT_EQ(server.body("/setposition?pos=1e999"), "1");  // saturates instead of overflowing
    log = player.takeLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(static_cast<platform::LPARAM>(log[1].wParam), 2147483647);
}

}  // namespace
}  // namespace lyrebox
