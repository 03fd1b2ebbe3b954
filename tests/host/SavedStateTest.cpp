// The saved state's file: its text both ways, damaged files, the atomic
// write, where it lives, and the keeper that restores a player stopped at the
// saved place and saves after changes and at the end.
#include "TestMedia.h"

#include "host/audio/ClockEngine.h"
#include "host/player/Player.h"
#include "host/state/SavedState.h"
#include "host/state/StateKeeper.h"
#include "platform/MessageLoop.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>

namespace lyrebox {
namespace {

using namespace std::chrono_literals;

SavedState sample() {
    SavedState state;
    state.entries = {{"/music/a.mp3", "Artist - Title, with a comma", 215},
                     {"/music/ü b/#2.flac", "Ünïcode", 0},
                     {"http://127.0.0.1:8000/stream", "http://127.0.0.1:8000/stream", 0},
                     {"/music/untitled.ogg", "", 61}};
    state.current = 2;
    state.positionMs = 61500;
    state.volume = 17;
    state.shuffle = true;
    state.repeat = false;
    return state;
}

TEST(SavedState, TextRoundTripKeepsEverything) {
    SavedState back;
    ASSERT_EQ(parseState(formatState(sample()), back), LoadResult::Loaded);
    const SavedState want = sample();
    ASSERT_EQ(back.entries.size(), want.entries.size());
    for (std::size_t i = 0; i < want.entries.size(); ++i) {
        EXPECT_EQ(back.entries[i].fileName, want.entries[i].fileName) << i;
        EXPECT_EQ(back.entries[i].title, want.entries[i].title) << i;
        EXPECT_EQ(back.entries[i].lengthSeconds, want.entries[i].lengthSeconds) << i;
    }
    EXPECT_EQ(back.current, 2);
    EXPECT_EQ(back.positionMs, 61500);
    EXPECT_EQ(back.volume, 17);
    EXPECT_TRUE(back.shuffle);
    EXPECT_FALSE(back.repeat);
}

TEST(SavedState, IsAnExtendedPlayListOtherPlayersRead) {
    const std::string text = formatState(sample());
    EXPECT_EQ(text.rfind("#EXTM3U\n#LYREBOX-STATE:", 0), 0u) << text;
    EXPECT_NE(text.find("\n#EXTINF:215,Artist - Title, with a comma\n/music/a.mp3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n#EXTINF:-1,Ünïcode\n"), std::string::npos) << text;
}

TEST(SavedState, LineBreaksCannotSplitAnEntry) {
    SavedState state;
    state.entries = {{"/music/a.mp3", "two\r\nlines", 0}, {"/music/evil\n#EXTINF:1,x\n/etc/passwd", "t", 0}};
    std::size_t skipped = 0;
    const std::string text = formatState(state, &skipped);
    EXPECT_EQ(skipped, 1u);
    SavedState back;
    ASSERT_EQ(parseState(text, back), LoadResult::Loaded);
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_EQ(back.entries[0].title, "two  lines");
}

TEST(SavedState, ReadsWhatOthersWriteAndItsOwnLaterForms) {
    const struct {
        const char* text;
        std::size_t entries;
    } cases[] = {
        {"#EXTM3U\r\n#LYREBOX-STATE:current=0,position=0,volume=200,shuffle=0,repeat=1\r\n/a.mp3\r\n", 1},
        {"#EXTM3U\n#LYREBOX-STATE:current=1,position=5,volume=0,shuffle=0,repeat=0,speed=2\n/a.mp3\n\n#EXTALB:x\n/b.mp3\n", 2},
        {"#EXTM3U\n#LYREBOX-STATE:current=0,position=0,volume=255,shuffle=1,repeat=1\n", 0},
        // A current entry past an empty list is the start of nothing.
        {"#EXTM3U\n#LYREBOX-STATE:current=4,position=0,volume=255,shuffle=1,repeat=1\n", 0},
    };
    for (const auto& c : cases) {
        SavedState state;
        EXPECT_EQ(parseState(c.text, state), LoadResult::Loaded) << c.text;
        EXPECT_EQ(state.entries.size(), c.entries) << c.text;
    }
}

TEST(SavedState, DamagedTextIsRefusedWhole) {
    const std::string good = "#LYREBOX-STATE:current=0,position=0,volume=200,shuffle=0,repeat=0\n";
    for (const std::string& text : {
             std::string(),
             std::string("garbage\n"),
             std::string("#EXTM3U\n"),
             "/a.mp3\n" + good,
             std::string("#EXTM3U\n#EXTINF:1,x\n/a.mp3\n"),
             std::string("#EXTM3U\n#LYREBOX-STATE:current=0,position=0,volume=200,shuffle=0\n"),
             std::string("#EXTM3U\n#LYREBOX-STATE:current=0,position=0,volume=256,shuffle=0,repeat=0\n"),
             std::string("#EXTM3U\n#LYREBOX-STATE:current=0,position=-1,volume=2,shuffle=0,repeat=0\n"),
             std::string("#EXTM3U\n#LYREBOX-STATE:current=0,position=0,volume=2,shuffle=2,repeat=0\n"),
             std::string("#EXTM3U\n#LYREBOX-STATE:current=x,position=0,volume=2,shuffle=0,repeat=0\n"),
             std::string("#EXTM3U\n#LYREBOX-STATE:current=1,position=0,volume=2,shuffle=0,repeat=0\n/a.mp3\n"),
             "#EXTM3U\n" + good + "#EXTINF:no comma\n/a.mp3\n",
             "#EXTM3U\n" + good + std::string("/a\0b.mp3\n", 10),
         }) {
        SavedState state;
        state.volume = 1;
        EXPECT_EQ(parseState(text, state), LoadResult::Damaged) << text;
    }
}

class StateFileTest : public ::testing::Test {
protected:
    test::TempDir dir_;
};

TEST_F(StateFileTest, WriteMakesPrivateFoldersAndLeavesNoTemporaryFile) {
    const std::string path = dir_.file("state/deep/lyrebox/playlist.m3u8");
    ASSERT_TRUE(writeStateFile(path, formatState(sample())));
    ASSERT_TRUE(writeStateFile(path, formatState(SavedState{})));  // replaces
    struct stat info {};
    ASSERT_EQ(::stat(dir_.file("state/deep/lyrebox").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    SavedState back;
    ASSERT_EQ(loadStateFile(path, back), LoadResult::Loaded);
    EXPECT_TRUE(back.entries.empty());
}

TEST_F(StateFileTest, MissingAndUnreadableFilesAreTold) {
    SavedState state;
    EXPECT_EQ(loadStateFile(dir_.file("none.m3u8"), state), LoadResult::Missing);
    std::filesystem::create_directories(dir_.file("folder.m3u8"));
    EXPECT_EQ(loadStateFile(dir_.file("folder.m3u8"), state), LoadResult::Damaged);
    test::writeText(dir_.file("cut.m3u8"), formatState(sample()).substr(0, 20));
    EXPECT_EQ(loadStateFile(dir_.file("cut.m3u8"), state), LoadResult::Damaged);
    EXPECT_FALSE(writeStateFile(dir_.file("folder.m3u8/x/../"), "x"));
}

TEST(StateFolder, FollowsTheBaseDirectoryRules) {
    const char* savedXdg = std::getenv("XDG_STATE_HOME");
    const std::string xdg = savedXdg ? savedXdg : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/u", 1);
    const struct {
        const char* xdg;  // null: unset
        const char* want;
    } cases[] = {
        {"/var/state", "/var/state/lyrebox"},
        {nullptr, "/home/u/.local/state/lyrebox"},
        {"", "/home/u/.local/state/lyrebox"},
        {"relative/dir", "/home/u/.local/state/lyrebox"},  // only absolute paths count
    };
    for (const auto& c : cases) {
        if (c.xdg) ::setenv("XDG_STATE_HOME", c.xdg, 1);
        else ::unsetenv("XDG_STATE_HOME");
        EXPECT_EQ(stateFolder(), c.want) << (c.xdg ? c.xdg : "(unset)");
    }
    if (savedXdg) ::setenv("XDG_STATE_HOME", xdg.c_str(), 1);
    else ::unsetenv("XDG_STATE_HOME");
    ::setenv("HOME", home.c_str(), 1);
}

class StateKeeperTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto tags = std::make_unique<TagCache>();
        ClockEngine::Options options;
        options.tick = 0ms;
        options.clock = [this] { return now_; };
        player_ = std::make_unique<Player>(std::make_unique<ClockEngine>(*tags, options), std::move(tags));
        for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
            files_.push_back(dir_.file(name));
            test::writeSilentWav(files_.back(), 4000);
        }
    }

    SavedState saved(int current, std::int64_t positionMs) {
        SavedState state;
        for (const auto& file : files_) state.entries.push_back({file, "t " + file, 4});
        state.current = current;
        state.positionMs = positionMs;
        state.volume = 99;
        state.repeat = true;
        return state;
    }

    test::TempDir dir_;
    std::vector<std::string> files_;
    std::chrono::steady_clock::time_point now_{};
    std::unique_ptr<Player> player_;
};

TEST_F(StateKeeperTest, RestoresStoppedAtTheSavedPlaceAndPlayStartsThere) {
    ASSERT_TRUE(writeStateFile(dir_.file("s/playlist.m3u8"), formatState(saved(1, 2500))));
    StateKeeper keeper(*player_, dir_.file("s/playlist.m3u8"));
    EXPECT_NE(keeper.restore().find("restored 3 entries"), std::string::npos);
    EXPECT_EQ(player_->state(), PlayState::Stopped);
    EXPECT_EQ(player_->current(), 1);
    EXPECT_EQ(player_->volume(), 99);
    EXPECT_TRUE(player_->repeat());
    EXPECT_EQ(player_->playList().at(0)->title, "t " + files_[0]);
    EXPECT_EQ(player_->placeMs(), 2500);
    player_->play();
    EXPECT_EQ(player_->positionMs(), 2500);
    // Only once: after a stop, play starts the entry from its beginning.
    player_->stop();
    player_->play();
    EXPECT_EQ(player_->positionMs(), 0);
}

TEST_F(StateKeeperTest, AnotherEntryForgetsTheResumePoint) {
    const std::function<void(Player&)> moves[] = {
        [](Player& p) { p.next(); },
        [](Player& p) { p.previous(); },
        [](Player& p) { p.setCurrent(2); },
        [](Player& p) { p.remove(1); },
    };
    for (const auto& move : moves) {
        player_->clear();
        StateKeeper::apply(saved(1, 2500), *player_);
        move(*player_);
        player_->play();
        EXPECT_EQ(player_->positionMs(), 0);
    }
}

TEST_F(StateKeeperTest, SavesAfterAChangeAndAtTheEnd) {
    const std::string path = dir_.file("s/playlist.m3u8");
    {
        StateKeeper keeper(*player_, path);
        player_->enqueue(files_[0], "first", 4);
        player_->enqueue(files_[1], "second", 4);
        // The save follows the change on the loop, after a short delay.
        // processOnce may return early (each message ends a wait), so the
        // wait is bounded by time, not by a count of calls.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!std::filesystem::exists(path) && std::chrono::steady_clock::now() < deadline)
            platform::MessageLoop::current().processOnce(20ms);
        SavedState early;
        ASSERT_EQ(loadStateFile(path, early), LoadResult::Loaded);
        EXPECT_EQ(early.entries.size(), 2u);
        player_->setCurrent(1);
        player_->play();
        player_->jumpTo(1200);
        player_->setShuffle(true);
    }
    SavedState last;
    ASSERT_EQ(loadStateFile(path, last), LoadResult::Loaded);
    EXPECT_EQ(last.current, 1);
    EXPECT_EQ(last.positionMs, 1200);
    EXPECT_TRUE(last.shuffle);
    EXPECT_EQ(last.entries[1].title, "second");
}

TEST_F(StateKeeperTest, DamagedOrMissingStateStartsEmptyAndSaysSo) {
    test::writeText(dir_.file("bad.m3u8"), "\x7f" "ELF binary junk");
    StateKeeper damaged(*player_, dir_.file("bad.m3u8"));
    EXPECT_NE(damaged.restore().find("is damaged: starting empty"), std::string::npos);
    StateKeeper missing(*player_, dir_.file("none/playlist.m3u8"));
    EXPECT_NE(missing.restore().find("no saved play list yet"), std::string::npos);
    EXPECT_TRUE(player_->playList().empty());
}

}  // namespace
}  // namespace lyrebox
