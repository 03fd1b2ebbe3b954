// Bounds on the play list and on one expansion, against a player that sets
// none of its own (the recording player): a client cannot grow the list past
// the bound with remote lists, folders or posted lists, an addition that
// would pass it adds what fits and answers "0", and a remote list cut at the
// size bound does not add its broken last line.
#include "tests/attack/AttackFixture.h"
#include "tests/attack/ListServer.h"

#include "library/LibraryLimits.h"
#include "library/LibraryText.h"
#include "platform/player/PlaylistLimits.h"

namespace lyrebox::attack {
namespace {

constexpr std::size_t kBound = limits::kMaxPlaylistEntries;

class PlaylistBoundTest : public AttackTest {
protected:
    std::size_t listLength() {
        std::size_t length = 0;
        server.player.with([&](test::FakePlayer& p) { length = p.entries.size(); });
        return length;
    }
    void fillPlaylist(std::size_t count) {
        server.player.with([&](test::FakePlayer& p) {
            p.entries.clear();
            for (std::size_t i = 0; i < count; ++i) p.entries.push_back({"old" + std::to_string(i), "Old"});
        });
    }
    std::string enqueue(const std::string& name) {
        return server.get("/enqueuefile?title=t&filename=" + percentEncode(name)).body;
    }
};

TEST_F(PlaylistBoundTest, OneRemoteListExpandsToTheBoundAtMost) {
    ListServer remote(streamList(kBound + 1));
    EXPECT_EQ(enqueue(remote.url()), "0");
    EXPECT_EQ(listLength(), kBound);
    // The list is full: nothing more goes in, and saying so is "0".
    EXPECT_EQ(enqueue(music + "/a.mp3"), "0");
    EXPECT_EQ(listLength(), kBound);
}

TEST_F(PlaylistBoundTest, AdditionsStopAtTheBoundWhateverTheirKind) {
    tree.writePattern("music/c.mp3", 10);  // the share now expands to three files
    struct Case {
        const char* what;
        std::size_t before;
        std::string command;
        std::string answer;
        std::size_t after;
    };
    const std::string folder = percentEncode(music);
    const Case cases[] = {
        {"folder that fits", kBound - 3, "/enqueuefile?title=t&filename=" + folder, "1", kBound},
        {"folder one too many", kBound - 2, "/enqueuefile?title=t&filename=" + folder, "0", kBound},
        {"insert one too many", kBound - 1, "/insertfile?index=0&title=t&filename=" + folder, "0", kBound},
        {"file into a full list", kBound, "/enqueuefile?title=t&filename=" + percentEncode(music + "/a.mp3"), "0",
         kBound},
        {"posted list past the bound", kBound - 2, "/enqueueplaylist?playlist=a%09" + folder + "%0a", "0", kBound},
        {"posted list that fits", kBound - 3, "/enqueueplaylist?playlist=a%09" + folder + "%0a", "1", kBound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fillPlaylist(c.before);
        EXPECT_EQ(server.get(c.command).body, c.answer);
        EXPECT_EQ(listLength(), c.after);
    }
}

TEST_F(PlaylistBoundTest, PostedListCountsAsOneExpansion) {
    ListServer remote(streamList(60'000));
    const std::string line = "t%09" + percentEncode(remote.url()) + "%0a";
    EXPECT_EQ(server.get("/enqueueplaylist?playlist=" + line + line).body, "0");
    EXPECT_EQ(listLength(), limits::kMaxExpansionEntries);
}

// Entries of 64 bytes after an 8-byte first line put the 4 MiB cut 47 bytes
// into the URL of entry 65,535.
std::string listCutInsideAUrl() {
    static_assert(limits::kRemoteMaxResponseBytes == 4 * 1024 * 1024);
    std::string body = "#EXTM3U\n";
    char number[16];
    for (int i = 0; body.size() < limits::kRemoteMaxResponseBytes + 4096; ++i) {
        std::snprintf(number, sizeof number, "%08d", i);
        body += "#EXTINF:\nhttp://h/d?path=" + std::string(number) + std::string(26, 'x') + ".mp3\n";
    }
    return body;
}

TEST_F(PlaylistBoundTest, ListCutAtTheSizeBoundDropsItsPartialLastLine) {
    ListServer remote(listCutInsideAUrl());
    EXPECT_EQ(enqueue(remote.url()), "1");
    const auto entries = server.entries();
    EXPECT_EQ(entries.size(), 65'535u);
    for (const auto& entry : entries) ASSERT_TRUE(entry.fileName.ends_with(".mp3")) << entry.fileName;
}

}  // namespace
}  // namespace lyrebox::attack
