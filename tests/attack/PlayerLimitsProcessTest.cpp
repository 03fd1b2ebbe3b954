// Limits against the real player process with the plugin: the play list's
// bound (the plugin's and the host player's own), and fetches of other
// servers' lists that neither hold the play-list lock nor pile up for one
// client address.
#include "tests/attack/ListServer.h"
#include "tests/support/PlayerProcess.h"
#include "tests/support/TempDir.h"

#include "library/LibraryText.h"
#include "platform/player/PlaylistLimits.h"

#include <future>
#include <memory>

#include <gtest/gtest.h>

namespace lyrebox::attack {
namespace {

class PlayerLimitsProcessTest : public ::testing::Test {
protected:
    PlayerLimitsProcessTest() {
        music = tree.folder("music");
        tree.writePattern("music/a.mp3", 10);
        player = std::make_unique<test::PlayerProcess>("Shared Dirs=" + music + "\r\n");
    }

    test::Answer get(const std::string& target, const char* from = "127.0.0.1") {
        return player->ask(target, "Host: localhost\r\n", from);
    }
    // The answer's body; "(no answer)" when none came within the client's time-out.
    std::string enqueue(const std::string& name, const char* from = "127.0.0.1") {
        const auto answer = get("/enqueuefile?title=t&filename=" + percentEncode(name), from);
        return answer.complete ? answer.body : "(no answer)";
    }
    std::future<std::string> enqueueLater(const std::string& name, const char* from = "127.0.0.1") {
        return std::async(std::launch::async, [this, name, from] { return enqueue(name, from); });
    }

    test::TempDir tree;
    std::string music;
    std::unique_ptr<test::PlayerProcess> player;
};

TEST_F(PlayerLimitsProcessTest, PlaylistStopsAtTheBound) {
    ListServer remote(streamList(limits::kMaxPlaylistEntries + 1));
    EXPECT_EQ(enqueue(remote.url()), "0");
    EXPECT_EQ(get("/getplaylistlength").body, std::to_string(limits::kMaxPlaylistEntries));
    EXPECT_EQ(enqueue(music + "/a.mp3"), "0");
    EXPECT_EQ(get("/getplaylistlength").body, std::to_string(limits::kMaxPlaylistEntries));
    EXPECT_EQ(player->quit(), 0);
}

// Two fetches from one address wait on a server that does not answer yet.
// Meanwhile another client's edit is served, a third fetch from the same
// address is refused at once (it never reaches the server), and a fetch for
// another address still goes out.
TEST_F(PlayerLimitsProcessTest, FetchesWaitOutsideThePlaylistLockAndPerAddressAtMostTwo) {
    ListServer slow(streamList(3), /*hold=*/true);
    auto first = enqueueLater(slow.url());
    auto second = enqueueLater(slow.url());
    ASSERT_TRUE(slow.waitForRequests(2));

    EXPECT_EQ(enqueue(music + "/a.mp3", "127.0.0.3"), "1");
    EXPECT_EQ(get("/getplaylistlength", "127.0.0.3").body, "1");
    EXPECT_EQ(enqueue(slow.url()), "1");  // refused fetch: nothing to add, as for a dead server
    EXPECT_EQ(slow.requests().size(), 2u);

    auto other = enqueueLater(slow.url(), "127.0.0.2");
    EXPECT_TRUE(slow.waitForRequests(3));
    slow.release();
    EXPECT_EQ(first.get(), "1");
    EXPECT_EQ(second.get(), "1");
    EXPECT_EQ(other.get(), "1");
    EXPECT_EQ(get("/getplaylistlength").body, "10");
    EXPECT_EQ(player->quit(), 0);
}

}  // namespace
}  // namespace lyrebox::attack
