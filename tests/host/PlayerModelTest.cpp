// The player model behind its two windows, with the silent clock engine on a
// hand-driven clock: every message's effect and answer.
#include "TestMedia.h"

#include "host/audio/ClockEngine.h"
#include "host/player/Player.h"
#include "platform/Window.h"
#include "platform/player/PlayerIpc.h"

#include <gtest/gtest.h>

#include <set>

namespace lyrebox {
namespace {

using namespace std::chrono_literals;
using platform::LPARAM;
using platform::LRESULT;
using platform::WPARAM;

class PlayerModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto tags = std::make_unique<TagCache>();
        ClockEngine::Options options;
        options.failUnreadable = true;
        options.tick = 0ms;
        options.clock = [this] { return now_; };
        auto engine = std::make_unique<ClockEngine>(*tags, options);
        engine_ = engine.get();
        Player::Options playerOptions;
        playerOptions.shuffleSeed = 7;
        player_ = std::make_unique<Player>(std::move(engine), std::move(tags), playerOptions);
        main_ = platform::createWindow(&Player::mainWindowProc, player_.get());
        player_->setMainWindow(main_);
        editor_ = player_->editorWindow();
        a_ = track("a.wav", 2000);
        b_ = track("b.wav", 3000);
        c_ = track("c.wav", 4000);
    }
    void TearDown() override {
        platform::destroyWindow(main_);
        player_.reset();
    }

    std::string track(const std::string& name, int lengthMs) {
        const std::string path = dir_.file(name);
        test::writeSilentWav(path, lengthMs);
        return path;
    }
    LRESULT command(WPARAM id) { return platform::sendMessage(main_, platform::WM_COMMAND, id, 0); }
    LRESULT query(LPARAM operation, WPARAM argument = 0) {
        return platform::sendMessage(main_, platform::WM_USER, argument, operation);
    }
    LRESULT edit(WPARAM operation, LPARAM argument = 0) {
        return platform::sendMessage(editor_, platform::WM_USER, operation, argument);
    }
    LRESULT enqueue(const char* name, const char* title = "") {
        ipc::EnqueueRecord record{name, title, 0};
        return query(ipc::kEnqueueFile, reinterpret_cast<WPARAM>(&record));
    }
    void enqueueAll(std::initializer_list<std::string> names) {
        for (const auto& name : names)
            ASSERT_NE(enqueue(name.c_str()), 0);
    }
    std::string text(LPARAM operation, int index) {
        const auto* p = reinterpret_cast<const char*>(query(operation, static_cast<WPARAM>(index)));
        return p ? p : "<null>";
    }
    int state() { return static_cast<int>(query(kIpcIsPlaying)); }
    int position() { return static_cast<int>(query(ipc::kGetListPos)); }
    LRESULT timeMs() { return query(ipc::kGetOutputTime, 0); }
    // Lets the clock run and lets the engine notice a track end.
    void advance(std::chrono::milliseconds step) {
        now_ += step;
        engine_->checkEnd();
    }

    test::TempDir dir_;
    std::chrono::steady_clock::time_point now_{std::chrono::seconds(1000)};
    ClockEngine* engine_ = nullptr;
    std::unique_ptr<Player> player_;
    platform::HWND main_ = nullptr;
    platform::HWND editor_ = nullptr;
    std::string a_, b_, c_;
};

TEST_F(PlayerModelTest, EnqueueAcceptsNamedEntriesAndMakesTitles) {
    const std::string tagged = track("tagged.wav", 1000);
    ASSERT_TRUE(test::tagFile(tagged, "Morning", "The Band", "First"));

    EXPECT_NE(enqueue(a_.c_str(), "Given Title"), 0);
    EXPECT_NE(enqueue(b_.c_str()), 0);
    EXPECT_NE(enqueue(tagged.c_str()), 0);
    EXPECT_NE(enqueue("http://example.invalid/live"), 0);
    EXPECT_EQ(enqueue(""), 0);
    EXPECT_EQ(enqueue(nullptr), 0);
    EXPECT_EQ(query(ipc::kEnqueueFile, 0), 0);

    EXPECT_EQ(query(ipc::kGetListLength), 4);
    EXPECT_EQ(text(ipc::kGetPlaylistFile, 0), a_);
    EXPECT_EQ(text(ipc::kGetPlaylistTitle, 0), "Given Title");
    EXPECT_EQ(text(ipc::kGetPlaylistTitle, 1), "b");
    EXPECT_EQ(text(ipc::kGetPlaylistTitle, 2), "The Band - Morning");
    EXPECT_EQ(text(ipc::kGetPlaylistTitle, 3), "http://example.invalid/live");
    EXPECT_EQ(text(ipc::kGetPlaylistFile, 4), "<null>");
    EXPECT_EQ(text(ipc::kGetPlaylistTitle, -1), "<null>");
}

TEST_F(PlayerModelTest, TextPointersStayValidWhileOtherEntriesChange) {
    ASSERT_NE(enqueue("s.mp3", "t"), 0);  // short texts live inside a string object, not on the heap
    const auto* file = reinterpret_cast<const char*>(query(ipc::kGetPlaylistFile, 0));
    const auto* title = reinterpret_cast<const char*>(query(ipc::kGetPlaylistTitle, 0));
    for (int i = 0; i < 300; ++i)
        ASSERT_NE(enqueue(("x" + std::to_string(i) + ".mp3").c_str()), 0);
    edit(ipc::kEditorDelete, 5);
    EXPECT_STREQ(file, "s.mp3");
    EXPECT_STREQ(title, "t");
}

TEST_F(PlayerModelTest, PlayWithAnEmptyListDoesNothing) {
    command(ipc::kCmdPlay);
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(timeMs(), 0);
    EXPECT_EQ(query(ipc::kGetOutputTime, 1), 0);
    EXPECT_EQ(query(ipc::kGetInfo, 1), 0);
}

TEST_F(PlayerModelTest, PlayRestartsTheCurrentEntry) {
    enqueueAll({a_, b_});
    command(ipc::kCmdPlay);
    EXPECT_EQ(state(), 1);
    advance(1500ms);
    EXPECT_EQ(timeMs(), 1500);
    command(ipc::kCmdPlay);
    EXPECT_EQ(timeMs(), 0);
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(state(), 1);
}

TEST_F(PlayerModelTest, PauseTogglesAndFreezesTheTime) {
    enqueueAll({c_});
    command(ipc::kCmdPause);
    EXPECT_EQ(state(), 0) << "pause does not start a stopped player";
    command(ipc::kCmdPlay);
    advance(500ms);
    command(ipc::kCmdPause);
    EXPECT_EQ(state(), 3);
    advance(1000ms);
    EXPECT_EQ(timeMs(), 500);
    command(ipc::kCmdPause);
    EXPECT_EQ(state(), 1);
    advance(200ms);
    EXPECT_EQ(timeMs(), 700);
}

TEST_F(PlayerModelTest, StopKeepsTheEntryAndResetsTheTime) {
    enqueueAll({a_, b_});
    query(ipc::kSetPlaylistPos, 1);
    command(ipc::kCmdPlay);
    advance(700ms);
    command(ipc::kCmdStop);
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(timeMs(), 0);
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(query(ipc::kGetOutputTime, 1), 3) << "length of the current entry while stopped";
}

TEST_F(PlayerModelTest, OutputTimeAndBitRateWhilePlaying) {
    enqueueAll({b_});
    command(ipc::kCmdPlay);
    advance(1234ms);
    EXPECT_EQ(timeMs(), 1234);
    EXPECT_EQ(query(ipc::kGetOutputTime, 1), 3);
    EXPECT_EQ(query(ipc::kGetInfo, 1), 64);  // 8 kHz, 8 bits, mono
}

TEST_F(PlayerModelTest, NextAndPreviousAtTheEndsOfTheList) {
    struct Case {
        bool repeat;
        int from;
        WPARAM command;
        int expected;
    };
    const Case cases[] = {
        {false, 0, ipc::kCmdNext, 1},     {false, 2, ipc::kCmdNext, 2},     {false, 2, ipc::kCmdPrevious, 1},
        {false, 0, ipc::kCmdPrevious, 0}, {true, 2, ipc::kCmdNext, 0},      {true, 0, ipc::kCmdPrevious, 2},
        {true, 1, ipc::kCmdNext, 2},      {true, 1, ipc::kCmdPrevious, 0},
    };
    enqueueAll({a_, b_, c_});
    for (const Case& c : cases) {
        query(ipc::kSetRepeat, c.repeat ? 1 : 0);
        query(ipc::kSetPlaylistPos, static_cast<WPARAM>(c.from));
        command(c.command);
        EXPECT_EQ(position(), c.expected) << "repeat " << c.repeat << " from " << c.from << " command " << c.command;
        EXPECT_EQ(state(), 0) << "moving while stopped does not start playing";
    }
}

TEST_F(PlayerModelTest, NextWhilePlayingStartsTheNewEntry) {
    enqueueAll({a_, b_});
    command(ipc::kCmdPlay);
    advance(800ms);
    command(ipc::kCmdNext);
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(timeMs(), 0);
    command(ipc::kCmdNext);  // last entry, no repeat: stays and keeps playing
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(state(), 1);
}

TEST_F(PlayerModelTest, ShuffleDrawsAnotherEntryAlsoAtTheEnd) {
    enqueueAll({a_, b_, c_, a_});
    query(ipc::kSetShuffle, 1);
    query(ipc::kSetPlaylistPos, 3);
    std::set<int> seen;
    int last = 3;
    for (int i = 0; i < 40; ++i) {
        command(i % 4 == 3 ? ipc::kCmdPrevious : ipc::kCmdNext);
        const int now = position();
        ASSERT_GE(now, 0);
        ASSERT_LT(now, 4);
        EXPECT_NE(now, last);
        seen.insert(now);
        last = now;
    }
    EXPECT_EQ(seen.size(), 4u);
}

TEST_F(PlayerModelTest, ShuffleWithOneEntryFollowsRepeat) {
    enqueueAll({a_});
    query(ipc::kSetShuffle, 1);
    command(ipc::kCmdPlay);
    advance(2000ms);
    EXPECT_EQ(state(), 0) << "the only entry ended, no repeat";
    query(ipc::kSetRepeat, 1);
    command(ipc::kCmdPlay);
    advance(2000ms);
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(position(), 0);
}

TEST_F(PlayerModelTest, TrackEndAdvancesAndStopsAfterTheLastEntry) {
    enqueueAll({a_, b_, c_});
    command(ipc::kCmdPlay);
    advance(1999ms);
    EXPECT_EQ(position(), 0);
    advance(1ms);
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(timeMs(), 0);
    advance(3000ms);
    EXPECT_EQ(position(), 2);
    advance(4000ms);
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(position(), 2) << "stopped on the last entry";
}

TEST_F(PlayerModelTest, TrackEndWrapsWithRepeatAndDrawsWithShuffle) {
    enqueueAll({a_, b_, c_});
    query(ipc::kSetRepeat, 1);
    query(ipc::kSetPlaylistPos, 2);
    command(ipc::kCmdPlay);
    advance(4000ms);
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(state(), 1);

    query(ipc::kSetRepeat, 0);
    query(ipc::kSetShuffle, 1);
    query(ipc::kSetPlaylistPos, 2);
    command(ipc::kCmdPlay);
    advance(4000ms);
    EXPECT_NE(position(), 2);
    EXPECT_EQ(state(), 1) << "shuffle goes on past the end of the list";
}

TEST_F(PlayerModelTest, EntriesThatCannotBePlayedAreSkipped) {
    const std::string missing = dir_.file("missing.mp3");
    enqueueAll({missing, a_, missing, b_});
    command(ipc::kCmdPlay);
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(state(), 1);
    advance(2000ms);  // the end of a_ runs into the next missing entry
    EXPECT_EQ(position(), 3);
    EXPECT_EQ(state(), 1);
}

TEST_F(PlayerModelTest, AListOfUnplayableEntriesStopsInsteadOfLooping) {
    enqueueAll({dir_.file("x.mp3"), dir_.file("y.mp3")});
    query(ipc::kSetRepeat, 1);
    command(ipc::kCmdPlay);
    EXPECT_EQ(state(), 0);
    query(ipc::kSetShuffle, 1);
    command(ipc::kCmdPlay);
    EXPECT_EQ(state(), 0);
}

TEST_F(PlayerModelTest, JumpAndFiveSecondSkips) {
    enqueueAll({c_, a_});
    EXPECT_EQ(query(ipc::kJumpToTime, 1000), -1) << "stopped";
    command(ipc::kCmdForward5s);
    EXPECT_EQ(state(), 0);

    command(ipc::kCmdPlay);
    EXPECT_EQ(query(ipc::kJumpToTime, 1200), 0);
    EXPECT_EQ(timeMs(), 1200);
    command(ipc::kCmdRewind5s);
    EXPECT_EQ(timeMs(), 0) << "clamped at the start";
    command(ipc::kCmdForward5s);  // past the end of a 4 s track: the next entry
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(timeMs(), 0);
    EXPECT_EQ(query(ipc::kJumpToTime, 500), 0);
    command(ipc::kCmdPause);
    EXPECT_EQ(query(ipc::kJumpToTime, 900), 0) << "seeking while paused";
    EXPECT_EQ(timeMs(), 900);
    EXPECT_EQ(query(ipc::kJumpToTime, 99000), 1);
    EXPECT_EQ(state(), 0) << "jumped past the end of the last entry";
}

TEST_F(PlayerModelTest, VolumeIsAskedWithMinus666AndClamped) {
    const struct {
        WPARAM set;
        LRESULT expected;
    } cases[] = {{128, 128}, {0, 0}, {255, 255}, {300, 255}, {static_cast<WPARAM>(-5), 0}, {17, 17}};
    for (const auto& c : cases) {
        query(ipc::kSetVolume, c.set);
        EXPECT_EQ(query(ipc::kSetVolume, ipc::kAskVolume), c.expected) << c.set;
        EXPECT_EQ(query(ipc::kSetVolume, 0xFFFFFD66u), c.expected) << "32-bit form of -666";
        EXPECT_EQ(engine_->volume(), c.expected);
    }
}

TEST_F(PlayerModelTest, ShuffleAndRepeatFlags) {
    EXPECT_EQ(query(ipc::kGetShuffle), 0);
    EXPECT_EQ(query(ipc::kGetRepeat), 0);
    query(ipc::kSetShuffle, 1);
    query(ipc::kSetRepeat, 5);
    EXPECT_EQ(query(ipc::kGetShuffle), 1);
    EXPECT_EQ(query(ipc::kGetRepeat), 1);
    command(ipc::kCmdToggleShuffle);
    command(ipc::kCmdToggleRepeat);
    EXPECT_EQ(query(ipc::kGetShuffle), 0);
    EXPECT_EQ(query(ipc::kGetRepeat), 0);
    command(ipc::kCmdToggleRepeat);
    EXPECT_EQ(query(ipc::kGetRepeat), 1);
}

TEST_F(PlayerModelTest, WindowQueryAnswersTheEditorWindow) {
    const auto editor = reinterpret_cast<platform::HWND>(query(ipc::kGetWindow, 1));
    EXPECT_EQ(editor, editor_);
    EXPECT_NE(editor, main_);
    EXPECT_TRUE(platform::isWindow(editor));
    EXPECT_EQ(reinterpret_cast<platform::HWND>(query(ipc::kGetWindow, 0)), main_);
    bool handled = true;
    player_->handleMainMessage(platform::WM_USER, 0, ipc::kGetMenu, handled);
    EXPECT_FALSE(handled) << "menus are the host window's";
}

TEST_F(PlayerModelTest, EditorDeletesAndSwapsEntries) {
    enqueueAll({a_, b_, c_});
    query(ipc::kSetPlaylistPos, 2);
    edit(ipc::kEditorDelete, 0);
    EXPECT_EQ(query(ipc::kGetListLength), 2);
    EXPECT_EQ(text(ipc::kGetPlaylistFile, 0), b_);
    EXPECT_EQ(position(), 1) << "the position follows its entry";

    edit(ipc::kEditorSwap, (1 << 16) | 0);
    EXPECT_EQ(text(ipc::kGetPlaylistFile, 0), c_);
    EXPECT_EQ(text(ipc::kGetPlaylistFile, 1), b_);
    EXPECT_EQ(position(), 1) << "a swap leaves the position to the caller";

    edit(ipc::kEditorDelete, 7);
    edit(ipc::kEditorSwap, (9 << 16) | 0);
    EXPECT_EQ(query(ipc::kGetListLength), 2);
    EXPECT_EQ(text(ipc::kGetPlaylistFile, 0), c_);

    edit(ipc::kEditorDelete, 1);  // the current, last entry
    EXPECT_EQ(position(), 0);
    edit(ipc::kEditorDelete, 0);
    EXPECT_EQ(query(ipc::kGetListLength), 0);
    EXPECT_EQ(position(), 0);
}

TEST_F(PlayerModelTest, DeletingThePlayingEntryKeepsItPlaying) {
    enqueueAll({a_, c_, b_});
    query(ipc::kSetPlaylistPos, 1);
    command(ipc::kCmdPlay);
    advance(1000ms);
    edit(ipc::kEditorDelete, 1);
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(timeMs(), 1000);
    EXPECT_EQ(position(), 1);
    advance(3000ms);  // c_ ends: the entry that took its place plays
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(timeMs(), 0);
    advance(3000ms);
    EXPECT_EQ(state(), 0);
}

TEST_F(PlayerModelTest, EveryKindOfEditSetsTheChangedFlag) {
    enqueueAll({a_, b_, c_});
    const struct {
        const char* what;
        std::function<void()> action;
        bool edits;
    } cases[] = {
        {"enqueue", [&] { enqueue(a_.c_str()); }, true},
        {"delete", [&] { edit(ipc::kEditorDelete, 3); }, true},
        {"swap", [&] { edit(ipc::kEditorSwap, (2 << 16) | 1); }, true},
        {"set position", [&] { query(ipc::kSetPlaylistPos, 2); }, false},
        {"play", [&] { command(ipc::kCmdPlay); }, false},
        {"next", [&] { command(ipc::kCmdNext); }, false},
        {"volume", [&] { query(ipc::kSetVolume, 10); }, false},
        {"shuffle", [&] { command(ipc::kCmdToggleShuffle); }, false},
        {"clear", [&] { query(ipc::kClearPlaylist); }, true},
    };
    EXPECT_EQ(edit(ipc::kEditorIsChanged), 1);
    for (const auto& c : cases) {
        edit(ipc::kEditorClearChanged);
        ASSERT_EQ(edit(ipc::kEditorIsChanged), 0);
        c.action();
        EXPECT_EQ(edit(ipc::kEditorIsChanged), c.edits ? 1 : 0) << c.what;
    }
}

TEST_F(PlayerModelTest, ClearStopsAndEmptiesTheList) {
    enqueueAll({a_, b_});
    query(ipc::kSetPlaylistPos, 1);
    command(ipc::kCmdPlay);
    query(ipc::kClearPlaylist);
    EXPECT_EQ(query(ipc::kGetListLength), 0);
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(timeMs(), 0);
    EXPECT_EQ(text(ipc::kGetPlaylistFile, 0), "<null>");
}

std::pair<LRESULT, std::string> fileInfo(platform::HWND window, const std::string& file, const char* field,
                                         std::size_t size = 4096) {
    std::string buffer(size, 'X');
    ipc::ExtendedFileInfo query{file.c_str(), field, buffer.data(), size};
    const LRESULT result =
        platform::sendMessage(window, platform::WM_USER, reinterpret_cast<WPARAM>(&query), ipc::kGetExtendedFileInfo);
    return {result, std::string(buffer.c_str())};
}

TEST_F(PlayerModelTest, ExtendedFileInfoForAnyFile) {
    ASSERT_TRUE(test::tagFile(b_, "Tïtle ]]> & more", "Artist", "Album"));
    const struct {
        const char* field;
        const char* expected;
    } cases[] = {{"title", "Tïtle ]]> & more"}, {"artist", "Artist"}, {"album", "Album"},
                 {"length", "3000"},           {"bitrate", "64"},     {"nonsense", ""}};
    for (const auto& c : cases) {
        const auto [result, value] = fileInfo(main_, b_, c.field);
        EXPECT_EQ(result, 1) << c.field;
        EXPECT_EQ(value, c.expected) << c.field;
    }
    EXPECT_EQ(fileInfo(main_, b_, "artist", 4).second, "Art") << "cut to the buffer, NUL-terminated";
    EXPECT_EQ(fileInfo(main_, a_, "title").second, "") << "a file without tags";

    const auto [result, value] = fileInfo(main_, dir_.file("missing.mp3"), "length");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(value, "");
}

TEST_F(PlayerModelTest, ExtendedFileInfoSeesAChangedFile) {
    ASSERT_TRUE(test::tagFile(c_, "Before", "A", "B"));
    EXPECT_EQ(fileInfo(main_, c_, "title").second, "Before");
    ASSERT_TRUE(test::tagFile(c_, "After, and longer", "A", "B"));
    EXPECT_EQ(fileInfo(main_, c_, "title").second, "After, and longer");
}

}  // namespace
}  // namespace lyrebox
