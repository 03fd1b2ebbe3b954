// The gateway's messages to the player, checked against a recording player.
#include "api/PlayerGateway.h"

#include "tests/support/FakePlayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <thread>

namespace lyrebox {
namespace {

using platform::WM_COMMAND;
using platform::WM_USER;
using test::FakePlayer;
using test::Message;

// The gateway only keeps the library for the additions made elsewhere; none of
// the operations tested here touch it.
MediaLibrary& noLibrary() {
    alignas(std::max_align_t) static unsigned char storage[64];
    return *reinterpret_cast<MediaLibrary*>(storage);
}

platform::LPARAM swapArgument(int a, int b) { return (static_cast<platform::LPARAM>(b) << 16) | a; }

// The messages that change the list or the position: swaps and "set position".
std::vector<Message> edits(const std::vector<Message>& log) {
    std::vector<Message> result;
    for (const Message& m : log) {
        if (m.editor || (m.message == WM_USER && m.lParam == 121)) result.push_back(m);
    }
    return result;
}

// Parameter: whether the gateway was made on the player's thread with the
// batch relay (as the plugin makes it) or on the test's thread without.
class PlayerGatewayTest : public ::testing::TestWithParam<bool> {
protected:
    FakePlayer player;
    std::unique_ptr<PlayerGateway> made = make();
    PlayerGateway& gateway = *made;

    std::unique_ptr<PlayerGateway> make() {
        if (!GetParam()) return std::make_unique<PlayerGateway>(player.mainWindow(), nullptr, noLibrary());
        std::unique_ptr<PlayerGateway> result;
        player.with([&](FakePlayer&) {
            result = std::make_unique<PlayerGateway>(player.mainWindow(), nullptr, noLibrary());
            result->useWindowThreadRelay();
        });
        return result;
    }
    void TearDown() override {
        if (GetParam()) player.with([&](FakePlayer&) { made.reset(); });
    }

    void SetUp() override {
        player.setEntries({{"/m/0.mp3", "zero"}, {"/m/1.mp3", "one"}, {"/m/2.mp3", "two"}, {"/m/3.mp3", "three"}});
        player.takeLog();
    }
    std::vector<std::string> order() { return player.titles(); }
};

TEST_P(PlayerGatewayTest, AsksForTheEditorWindowOnce) {
    FakePlayer fresh;
    PlayerGateway other(fresh.mainWindow(), nullptr, noLibrary());
    EXPECT_EQ(fresh.takeLog(), (std::vector<Message>{{false, WM_USER, 1, 260}}));
    other.isPlaylistChanged();
    EXPECT_EQ(fresh.takeLog(), (std::vector<Message>{{true, WM_USER, 107, 0}}));
}

TEST_P(PlayerGatewayTest, PlayWithAnEmptyListSendsNoCommand) {
    player.setEntries({});
    player.takeLog();
    gateway.play();
    EXPECT_TRUE(player.takeLog(WM_COMMAND, false).empty());

    player.setEntries({{"/m/a.mp3", "a"}});
    player.takeLog();
    gateway.play();
    EXPECT_EQ(player.takeLog(WM_COMMAND, false), (std::vector<Message>{{false, WM_COMMAND, 40045, 0}}));
}

TEST_P(PlayerGatewayTest, OperationsSendTheirMessageNumbers) {
    const struct {
        void (*call)(PlayerGateway&);
        Message message;
    } cases[] = {
        {[](PlayerGateway& g) { g.previous(); }, {false, WM_COMMAND, 40044, 0}},
        {[](PlayerGateway& g) { g.pause(); }, {false, WM_COMMAND, 40046, 0}},
        {[](PlayerGateway& g) { g.stop(); }, {false, WM_COMMAND, 40047, 0}},
        {[](PlayerGateway& g) { g.next(); }, {false, WM_COMMAND, 40048, 0}},
        {[](PlayerGateway& g) { g.toggleRepeat(); }, {false, WM_COMMAND, 40022, 0}},
        {[](PlayerGateway& g) { g.toggleShuffle(); }, {false, WM_COMMAND, 40023, 0}},
        {[](PlayerGateway& g) { g.forward5s(); }, {false, WM_COMMAND, 40060, 0}},
        {[](PlayerGateway& g) { g.rewind5s(); }, {false, WM_COMMAND, 40061, 0}},
        {[](PlayerGateway& g) { g.getVolume(); }, {false, WM_USER, 0xFFFFFFFFFFFFFD66u, 122}},
        {[](PlayerGateway& g) { g.setVolume(300); }, {false, WM_USER, 300, 122}},
        {[](PlayerGateway& g) { g.clearPlaylist(); }, {false, WM_USER, 0, 101}},
        {[](PlayerGateway& g) { g.setPlaylistPosition(2); }, {false, WM_USER, 2, 121}},
        {[](PlayerGateway& g) { g.setShuffle(true); }, {false, WM_USER, 1, 252}},
        {[](PlayerGateway& g) { g.setRepeat(false); }, {false, WM_USER, 0, 253}},
        {[](PlayerGateway& g) { g.getShuffle(); }, {false, WM_USER, 0, 250}},
        {[](PlayerGateway& g) { g.getRepeat(); }, {false, WM_USER, 0, 251}},
        {[](PlayerGateway& g) { g.deleteItem(1); }, {true, WM_USER, 104, 1}},
        {[](PlayerGateway& g) { g.swapItems(1, 2); }, {true, WM_USER, 105, (2 << 16) | 1}},
        {[](PlayerGateway& g) { g.clearPlaylistChanged(); }, {true, WM_USER, 108, 0}},
    };
    for (const auto& c : cases) {
        c.call(gateway);
        EXPECT_EQ(player.takeLog(), (std::vector<Message>{c.message})) << c.message.wParam << "/" << c.message.lParam;
    }
}

TEST_P(PlayerGatewayTest, MoveToTheSamePlaceSendsNothing) {
    gateway.moveItem(2, 2);
    EXPECT_TRUE(player.takeLog().empty());
}

TEST_P(PlayerGatewayTest, MoveDownSwapsWithEachNeighbourAndThePlayingEntryFollows) {
    gateway.moveItem(0, 3);
    EXPECT_EQ(edits(player.takeLog()), (std::vector<Message>{{true, WM_USER, 105, swapArgument(0, 1)},
                                                          {false, WM_USER, 1, 121},
                                                          {true, WM_USER, 105, swapArgument(1, 2)},
                                                          {false, WM_USER, 2, 121},
                                                          {true, WM_USER, 105, swapArgument(2, 3)},
                                                          {false, WM_USER, 3, 121}}));
    EXPECT_EQ(order(), (std::vector<std::string>{"one", "two", "three", "zero"}));
    EXPECT_EQ(player.currentPosition(), 3);
}

TEST_P(PlayerGatewayTest, MoveUpKeepsADifferentPlayingEntryMarked) {
    player.setEntries({{"/m/0.mp3", "zero"}, {"/m/1.mp3", "one"}, {"/m/2.mp3", "two"}, {"/m/3.mp3", "three"}}, 1);
    player.takeLog();
    gateway.moveItem(3, 0);
    EXPECT_EQ(edits(player.takeLog()), (std::vector<Message>{{true, WM_USER, 105, swapArgument(3, 2)},
                                           {true, WM_USER, 105, swapArgument(2, 1)},
                                           {false, WM_USER, 2, 121},
                                           {true, WM_USER, 105, swapArgument(1, 0)}}));
    EXPECT_EQ(order(), (std::vector<std::string>{"three", "zero", "one", "two"}));
    EXPECT_EQ(player.currentPosition(), 2);
}

TEST_P(PlayerGatewayTest, MoveBeyondTheListIsBoundedByIt) {
    gateway.moveItem(1, INT_MAX);
    EXPECT_EQ(player.takeLog(WM_USER, true).size(), 2u);
    EXPECT_EQ(order(), (std::vector<std::string>{"zero", "two", "three", "one"}));
}

TEST_P(PlayerGatewayTest, TextsAreCopiedAndEmptyPastTheEnd) {
    EXPECT_EQ(gateway.getFileName(1), "/m/1.mp3");
    EXPECT_EQ(gateway.getTitle(3), "three");
    EXPECT_EQ(gateway.getFileName(4), "");
    EXPECT_EQ(gateway.getTitle(-1), "");
    EXPECT_EQ(gateway.playlistLength(), 4);
}

TEST_P(PlayerGatewayTest, TrackInfoReadsTheTagsAndFormatsTheLength) {
    const struct {
        const char* lengthText;
        std::int32_t lengthMs;
        const char* length;
    } cases[] = {
        {"245000", 245000, "4:05"}, {"", 0, "0:00"},          {"59999", 59999, "0:59"},
        {"600000", 600000, "10:00"}, {"abc", 0, "0:00"},      {"61000ms", 61000, "1:01"},
    };
    for (const auto& c : cases) {
        player.with([&](FakePlayer& p) {
            p.tags["/m/a.mp3"] = {{"title", "T"}, {"artist", "Ar"}, {"album", "Al"}, {"length", c.lengthText}};
            p.bitrate = 192;
        });
        TrackInfo info;
        info.fileName = "/m/a.mp3";
        gateway.getTrackInfo(info);
        EXPECT_EQ(info.title, "T");
        EXPECT_EQ(info.artist, "Ar");
        EXPECT_EQ(info.album, "Al");
        EXPECT_EQ(info.lengthMs, c.lengthMs) << c.lengthText;
        EXPECT_EQ(info.length, c.length) << c.lengthText;
        EXPECT_EQ(info.bitrate, 192);
    }
}

TEST_P(PlayerGatewayTest, PositionFractionFromLengthAndTime) {
    player.with([](FakePlayer& p) { p.lengthSeconds = 200, p.positionMs = 50000; });
    EXPECT_DOUBLE_EQ(gateway.getPositionFraction(), 0.25);
    player.with([](FakePlayer& p) { p.lengthSeconds = 0, p.positionMs = 1234; });
    player.takeLog();
    EXPECT_EQ(gateway.getPositionFraction(), 0.0);
    EXPECT_EQ(player.takeLog(), (std::vector<Message>{{false, WM_USER, 1, 105}, {false, WM_USER, 0, 105}}));
}

TEST_P(PlayerGatewayTest, SeekIsTruncatedAndSaturated) {
    player.with([](FakePlayer& p) { p.lengthSeconds = 3; });
    const struct {
        double fraction;
        platform::LPARAM ms;
    } cases[] = {{0.5, 1500}, {0.99999, 2999}, {-0.5, -1500}, {1e300, INT_MAX}, {-1e300, INT_MIN}};
    for (const auto& c : cases) {
        player.takeLog();
        gateway.setPositionFraction(c.fraction);
        const auto log = player.takeLog();
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[1].lParam, 106);
        EXPECT_EQ(static_cast<platform::LPARAM>(log[1].wParam), c.ms) << c.fraction;
    }
}

TEST_P(PlayerGatewayTest, BatchRunsOnThePlayersThreadEvenWhileTheLockIsHeld) {
    std::unique_ptr<PlayerGateway> relayed;
    player.with([&](FakePlayer&) {
        relayed = std::make_unique<PlayerGateway>(player.mainWindow(), nullptr, noLibrary());
        relayed->useWindowThreadRelay();
    });
    std::string title;
    std::thread::id ranOn;
    platform::Event done;
    // Another connection holds the gateway lock (say, in the middle of a move)
    // while a document's batch runs: the batch must not wait for it.
    std::unique_lock holding(relayed->lock());
    std::thread other([&] {
        relayed->runBatch([&] {
            ranOn = std::this_thread::get_id();
            title = relayed->getTitle(2);
        });
        done.set();
    });
    const bool finished = done.waitFor(std::chrono::seconds(60));
    holding.unlock();  // lets a wrongly waiting batch end, so the test ends either way
    other.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(title, "two");
    EXPECT_EQ(ranOn, player.threadId());

    EXPECT_THROW(relayed->runBatch([] { throw std::runtime_error("failed"); }), std::runtime_error);
    EXPECT_EQ(relayed->getVolume(), 100);  // the player's thread is unharmed
    player.with([&](FakePlayer&) { relayed.reset(); });
}

TEST_P(PlayerGatewayTest, BatchRunsOnThePlayersThreadOnlyWithARelay) {
    std::thread::id ranOn;
    gateway.runBatch([&] { ranOn = std::this_thread::get_id(); });
    EXPECT_EQ(ranOn, GetParam() ? player.threadId() : std::this_thread::get_id());
}

INSTANTIATE_TEST_SUITE_P(Direct, PlayerGatewayTest, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(Relayed, PlayerGatewayTest, ::testing::Values(true));

}  // namespace
}  // namespace lyrebox
