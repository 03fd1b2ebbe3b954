// The player with GStreamer on real, generated media: tags through operation
// 290, silent real-time playback, track ends and skipped entries.
#include "TestMedia.h"

#include "host/audio/GstEngine.h"
#include "host/player/Player.h"
#include "platform/MessageLoop.h"
#include "platform/Window.h"
#include "platform/player/PlayerIpc.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>

namespace lyrebox {
namespace {

using namespace std::chrono_literals;
using platform::LPARAM;
using platform::LRESULT;
using platform::WPARAM;

const char* const kTypes[] = {"mp3", "ogg", "flac", "wav"};

class AudioMediaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("LYREBOX_AUDIO", "null", 1);
        media_ = std::make_unique<test::TempDir>();
        for (const char* type : kTypes) {
            const std::string path = clip(type);
            ASSERT_TRUE(test::encodeClip(path, type, 10)) << type;
            ASSERT_TRUE(test::tagFile(path, std::string("Title ") + type, "Artist Ü", "Album " + std::string(type)))
                << type;
        }
        ASSERT_TRUE(test::encodeClip(clip("short.wav"), "wav", 3));
        // The discoverer estimates an mp3 stream's length only from a few seconds of it.
        ASSERT_TRUE(test::encodeClip(clip("long.mp3"), "mp3", 50));
        ASSERT_TRUE(test::tagFile(clip("long.mp3"), "Long", "Artist Ü", "Album"));
        std::mt19937 random(1);
        std::ofstream noise(clip("noise.ogg"), std::ios::binary);
        for (int i = 0; i < 20000; ++i)
            noise.put(static_cast<char>(random()));
    }
    static void TearDownTestSuite() {
        media_.reset();
    }
    static std::string clip(const std::string& type) {
        return media_->file(type.find('.') == std::string::npos ? "clip." + type : type);
    }

    void SetUp() override {
        auto engine = GstEngine::create();
        ASSERT_TRUE(engine);
        EXPECT_EQ(engine->describe(), "gstreamer/fakesink");
        player_ = std::make_unique<Player>(std::move(engine), std::make_unique<TagCache>());
        main_ = platform::createWindow(&Player::mainWindowProc, player_.get());
    }
    void TearDown() override {
        platform::destroyWindow(main_);
        player_.reset();
    }

    LRESULT query(LPARAM operation, WPARAM argument = 0) {
        return platform::sendMessage(main_, platform::WM_USER, argument, operation);
    }
    void command(WPARAM id) { platform::sendMessage(main_, platform::WM_COMMAND, id, 0); }
    void enqueue(const std::string& file) {
        ipc::EnqueueRecord record{file.c_str(), "", 0};
        ASSERT_NE(query(ipc::kEnqueueFile, reinterpret_cast<WPARAM>(&record)), 0);
    }
    std::string info(const std::string& file, const char* field) {
        char buffer[4096] = "?";
        ipc::ExtendedFileInfo request{file.c_str(), field, buffer, sizeof buffer};
        query(ipc::kGetExtendedFileInfo, reinterpret_cast<WPARAM>(&request));
        return buffer;
    }
    int state() { return static_cast<int>(query(kIpcIsPlaying)); }
    int position() { return static_cast<int>(query(ipc::kGetListPos)); }
    LRESULT timeMs() { return query(ipc::kGetOutputTime, 0); }
    // Runs the message loop (the engine's bus) until the condition holds.
    template <class Condition>
    bool waitFor(Condition condition, std::chrono::seconds limit = 20s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            platform::MessageLoop::current().processOnce(20ms);
        }
        return true;
    }

    static std::unique_ptr<test::TempDir> media_;
    std::unique_ptr<Player> player_;
    platform::HWND main_ = nullptr;
};

std::unique_ptr<test::TempDir> AudioMediaTest::media_;

TEST_F(AudioMediaTest, TagsOfEveryTypeReachExtendedFileInfo) {
    for (const char* type : kTypes) {
        const std::string file = clip(type);
        EXPECT_EQ(info(file, "title"), std::string("Title ") + type);
        EXPECT_EQ(info(file, "artist"), "Artist Ü") << type;
        EXPECT_EQ(info(file, "album"), std::string("Album ") + type);
        const int length = std::atoi(info(file, "length").c_str());
        EXPECT_GE(length, 900) << type;
        EXPECT_LE(length, 1200) << type;
    }
    EXPECT_EQ(info(clip("missing.mp3"), "length"), "");
}

TEST_F(AudioMediaTest, SilentPlaybackRunsInRealTimeThroughTheList) {
    for (const char* type : kTypes)
        enqueue(clip(type));
    const auto started = std::chrono::steady_clock::now();
    command(ipc::kCmdPlay);
    ASSERT_EQ(state(), 1);
    ASSERT_TRUE(waitFor([&] { return timeMs() >= 300; }));
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LE(timeMs(), elapsedMs + 250) << "a silent sink still plays at the pace of the clock";
    EXPECT_GT(query(ipc::kGetInfo, 1), 0) << "bit rate of the playing mp3";

    ASSERT_TRUE(waitFor([&] { return position() == 1; }));
    EXPECT_EQ(state(), 1);
    ASSERT_TRUE(waitFor([&] { return state() == 0; }));
    EXPECT_EQ(position(), 3) << "stopped on the last entry after it ended";
}

TEST_F(AudioMediaTest, MissingAndCorruptFilesAreSkipped) {
    enqueue(clip("missing.mp3"));
    enqueue(clip("noise.ogg"));
    enqueue(clip("short.wav"));
    command(ipc::kCmdPlay);
    ASSERT_TRUE(waitFor([&] { return position() == 2 && timeMs() > 0; }));
    EXPECT_EQ(state(), 1);
    ASSERT_TRUE(waitFor([&] { return state() == 0; }));
}

TEST_F(AudioMediaTest, AListOfBadFilesStops) {
    enqueue(clip("missing.mp3"));
    enqueue(clip("noise.ogg"));
    query(ipc::kSetRepeat, 1);
    command(ipc::kCmdPlay);
    ASSERT_TRUE(waitFor([&] { return state() == 0; }));
}

TEST_F(AudioMediaTest, JumpPauseAndStop) {
    enqueue(clip("flac"));
    command(ipc::kCmdPlay);
    EXPECT_EQ(query(ipc::kJumpToTime, 600), 0);
    ASSERT_TRUE(waitFor([&] { return timeMs() >= 650; }));
    command(ipc::kCmdPause);
    EXPECT_EQ(state(), 3);
    const LRESULT frozen = timeMs();
    for (int i = 0; i < 5; ++i)
        platform::MessageLoop::current().processOnce(20ms);
    EXPECT_LE(timeMs(), frozen + 30) << "paused time stays";
    command(ipc::kCmdStop);
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(timeMs(), 0);
    command(ipc::kCmdPlay);
    ASSERT_TRUE(waitFor([&] { return state() == 0; })) << "the track plays again to its end";
}

}  // namespace
}  // namespace lyrebox

namespace lyrebox {
namespace {

TEST_F(AudioMediaTest, HttpStreamsPlayAndHaveTags) {
    test::TinyFileServer server(clip("long.mp3"));
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/long.mp3";
    EXPECT_EQ(info(url, "title"), "Long");
    const int length = std::atoi(info(url, "length").c_str());
    EXPECT_GE(length, 4900);
    EXPECT_LE(length, 5200);
    const int discovered = server.requests();
    EXPECT_EQ(info(url, "artist"), "Artist Ü");
    EXPECT_EQ(server.requests(), discovered) << "a stream's tags are looked up once";

    enqueue(url);
    command(ipc::kCmdPlay);
    ASSERT_TRUE(waitFor([&] { return timeMs() > 100; }));
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(query(ipc::kJumpToTime, 4500), 0);
    ASSERT_TRUE(waitFor([&] { return state() == 0; })) << "the seek over http reached the end";
}

TEST_F(AudioMediaTest, ASeekTheServerRefusesRestartsTheStream) {
    test::TinyFileServer server(clip("long.mp3"), false);
    enqueue("http://127.0.0.1:" + std::to_string(server.port()) + "/long.mp3");
    enqueue(clip("short.wav"));
    command(ipc::kCmdPlay);
    ASSERT_TRUE(waitFor([&] { return timeMs() > 100; }));
    const int before = server.requests();
    query(ipc::kJumpToTime, 4500);
    ASSERT_TRUE(waitFor([&] { return server.requests() > before || position() != 0; }));
    ASSERT_TRUE(waitFor([&] { return timeMs() > 100 && timeMs() < 4000; }));
    EXPECT_EQ(position(), 0) << "the stream started over instead of being skipped";
    EXPECT_EQ(state(), 1);
}

TEST(GstEngineVolume, LevelsMapCubicallyToPlaybinVolume) {
    const struct {
        int level;
        double linear;
    } cases[] = {{0, 0.0}, {255, 1.0}, {128, 0.1265}, {64, 0.0158}, {-4, 0.0}, {999, 1.0}};
    for (const auto& c : cases)
        EXPECT_NEAR(GstEngine::linearVolume(c.level), c.linear, 0.0005) << c.level;
}

}  // namespace
}  // namespace lyrebox
