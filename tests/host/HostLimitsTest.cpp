// The host player's own defences: its play list stops at the shared bound,
// reading tags never waits on a file that is not a regular one, and a stop
// signal ends the process even when its window thread cannot take it.
#include "TestMedia.h"
#include "host/QuitWatchdog.h"
#include "host/audio/ClockEngine.h"
#include "host/audio/TagCache.h"
#include "host/player/Player.h"
#include "platform/player/PlaylistLimits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

using namespace std::chrono_literals;

TEST(HostPlaylistBound, EnqueueStopsAtTheSharedBound) {
    auto tags = std::make_unique<TagCache>();
    auto engine = std::make_unique<ClockEngine>(*tags);
    Player player(std::move(engine), std::move(tags));
    for (std::size_t i = 0; i < limits::kMaxPlaylistEntries; ++i)
        ASSERT_TRUE(player.enqueue("http://h/" + std::to_string(i), "t", 0)) << i;
    EXPECT_FALSE(player.enqueue("http://h/one-more", "t", 0));
    EXPECT_EQ(player.playList().size(), limits::kMaxPlaylistEntries);
    player.remove(0);
    EXPECT_TRUE(player.enqueue("http://h/fits-again", "t", 0));
}

TEST(HostTagReading, FilesThatAreNotRegularAreUnreadableAtOnce) {
    test::TempDir dir;
    const std::string fifo = dir.file("x.mp3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, dir.path(), std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        auto read = std::async(std::launch::async, [path] { return readFileTags(path); });
        if (read.wait_for(20s) != std::future_status::ready) {
            // Let the blocked reader go before failing, so the test ends.
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) ::close(writer);
            FAIL() << "reading tags blocked";
        }
        EXPECT_FALSE(read.get().readable);
    }
    // A real file is still read through the checked descriptor.
    const std::string wav = dir.file("a.wav");
    test::writeSilentWav(wav, 1000);
    const TrackTags tags = readFileTags(wav);
    EXPECT_TRUE(tags.readable);
    EXPECT_GT(tags.lengthMs, 0);
}

// The watchdog's cases, each in a child process: a signal nobody reads, a
// quit that never ends, and a quit that ends in time.
TEST(HostQuitWatchdogDeathTest, ForcesTheExitOnlyWhenTheQuitIsStuck) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto pendingSignal = [](int fds[2]) {
        ASSERT_EQ(::pipe(fds), 0);
        ASSERT_EQ(::write(fds[1], "x", 1), 1);  // stands for a signal nobody has read
    };
    EXPECT_EXIT(
        {
            int fds[2];
            pendingSignal(fds);
            host::QuitWatchdog watchdog(fds[0], 50ms, 50ms);
            for (;;) ::pause();
        },
        ::testing::ExitedWithCode(host::QuitWatchdog::kForcedExitCode), "");
    EXPECT_EXIT(
        {
            int fds[2];
            pendingSignal(fds);
            host::QuitWatchdog watchdog(fds[0], 10s, 50ms);
            watchdog.quitStarted();
            for (;;) ::pause();
        },
        ::testing::ExitedWithCode(host::QuitWatchdog::kForcedExitCode), "");
    EXPECT_EXIT(
        {
            int fds[2];
            pendingSignal(fds);
            {
                host::QuitWatchdog watchdog(fds[0], 10s, 10s);
                watchdog.quitStarted();
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lyrebox
