// The kept play-list read: reused only at the same revision and length and
// within its time, read afresh otherwise.
#include "api/TrackListCache.h"

#include "api/PlayerGateway.h"
#include "tests/support/FakePlayer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace lyrebox {
namespace {

MediaLibrary& noLibrary() {
    alignas(std::max_align_t) static unsigned char storage[64];
    return *reinterpret_cast<MediaLibrary*>(storage);
}

std::vector<std::string> titlesOf(const TrackListCache::Tracks& tracks) {
    std::vector<std::string> titles;
    for (const PlaylistEntry& entry : *tracks) titles.push_back(entry.title);
    return titles;
}

TEST(TrackListCache, ReusesAReadOnlyForTheSameRevisionAndLengthWithinItsTime) {
    test::FakePlayer player;
    PlayerGateway gateway(player.mainWindow(), nullptr, noLibrary());
    TrackListCache cache;
    const auto t0 = TrackListCache::Clock::now();
    const auto soon = t0 + kTrackListReuse / 2;
    player.setEntries({{"/m/0.mp3", "zero"}, {"/m/1.mp3", "one"}});
    const auto first = cache.read(gateway, 1, 2, t0);
    EXPECT_EQ(titlesOf(first), (std::vector<std::string>{"zero", "one"}));
    EXPECT_EQ((*first)[1].fileName, "/m/1.mp3");

    // The player now says otherwise; the kept read still serves revision 1.
    player.setEntries({{"/m/0.mp3", "ZERO"}, {"/m/1.mp3", "ONE"}});
    EXPECT_EQ(cache.read(gateway, 1, 2, soon), first);
    // A new revision, another length, the time run out or a clock that went
    // back: each reads the player again.
    EXPECT_EQ(titlesOf(cache.read(gateway, 2, 2, soon)), (std::vector<std::string>{"ZERO", "ONE"}));
    player.setEntries({{"/m/0.mp3", "a"}, {"/m/1.mp3", "b"}, {"/m/2.mp3", "c"}});
    EXPECT_EQ(titlesOf(cache.read(gateway, 2, 3, soon)), (std::vector<std::string>{"a", "b", "c"}));
    player.setEntries({{"/m/0.mp3", "d"}, {"/m/1.mp3", "e"}, {"/m/2.mp3", "f"}});
    EXPECT_EQ(titlesOf(cache.read(gateway, 2, 3, soon + kTrackListReuse)), (std::vector<std::string>{"d", "e", "f"}));
    player.setEntries({{"/m/0.mp3", "g"}, {"/m/1.mp3", "h"}, {"/m/2.mp3", "i"}});
    EXPECT_EQ(titlesOf(cache.read(gateway, 2, 3, t0)), (std::vector<std::string>{"g", "h", "i"}));
}

TEST(TrackListCache, AnEmptyListIsReadAsNoEntries) {
    test::FakePlayer player;
    PlayerGateway gateway(player.mainWindow(), nullptr, noLibrary());
    TrackListCache cache;
    EXPECT_TRUE(cache.read(gateway, 1, 0)->empty());
}

}  // namespace
}  // namespace lyrebox
