// The attacks once more against the real player process with the plugin
// (its settings, per-address cap and time-outs as shipped): traversal through
// every library request, a hostile file name, the diagnostic page, and an
// idle flood from one address while another address is served.
#include "tests/support/PlayerProcess.h"
#include "tests/support/TempDir.h"

#include "http/HttpLimits.h"
#include "library/LibraryText.h"

#include <sys/resource.h>

#include <fstream>
#include <vector>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

class PlayerProcessAttackTest : public ::testing::Test {
protected:
    PlayerProcessAttackTest() {
        music = tree.folder("music");
        tree.writePattern("music/a.mp3", 10);
        hostile = tree.writePattern("music/q\"<script>x]]>\r\nInjected: yes\n#x.mp3", 10);
        std::ofstream(tree.write("outside/secret.mp3"), std::ios::binary) << "SECRET";
        std::ofstream(tree.write("musical/secret.mp3"), std::ios::binary) << "SECRET";
        player = std::make_unique<test::PlayerProcess>("Shared Dirs=" + music + "\r\n");
    }

    test::Answer get(const std::string& target, const char* from = "127.0.0.1") {
        return player->ask(target, "Host: localhost\r\n", from);
    }

    test::TempDir tree;
    std::string music, hostile;
    std::unique_ptr<test::PlayerProcess> player;
};

TEST_F(PlayerProcessAttackTest, NothingOutsideTheShareIsReached) {
    ASSERT_EQ(get("/download?path=" + percentEncode(music + "/a.mp3")).status, 200);
    const std::string enc = percentEncode(music);
    for (const std::string& path :
         {percentEncode(music + "/../outside/secret.mp3"), enc + "/%2e%2e/outside/secret.mp3",
          percentEncode(tree.file("musical/secret.mp3")), percentEncode(music + "/a.mp3") + "%00/../../secret.mp3",
          percentEncode(tree.file("outside")) + "/", percentEncode("/" + music + "/../outside")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(get("/library.js?path=" + path).body.find("secret"), std::string::npos);
        EXPECT_EQ(get("/download?path=" + path).status, 404);
        EXPECT_EQ(get("/stream?path=" + path).status, 404);
        for (const char* command : {"enqueuefile", "insertfile", "playfile"})
            EXPECT_EQ(get(std::string("/") + command + "?title=t&index=0&filename=" + path).body, "0") << command;
        for (const char* command : {"enqueueplaylist", "playplaylist"})
            get(std::string("/") + command + "?playlist=t%09" + path + "%0a");
    }
    EXPECT_EQ(get("/getplaylistlength").body, "0");
}

TEST_F(PlayerProcessAttackTest, HostileFileNameAndMarkupComeBackEscaped) {
    const auto download = get("/download?path=" + percentEncode(hostile));
    EXPECT_EQ(download.status, 200);
    EXPECT_FALSE(download.hasHeader("Injected"));
    EXPECT_EQ(download.header("Content-Disposition").find('\n'), std::string::npos);
    const auto stream = get("/stream?path=" + percentEncode(hostile));
    EXPECT_EQ(stream.body.find("\n#x.mp3"), std::string::npos) << stream.body;
    EXPECT_EQ(get("/library.js?path=" + percentEncode(music)).body.find('<'), std::string::npos);
    EXPECT_EQ(get("/info?x=%3Cscript%3E").body.find("<script"), std::string::npos);
}

TEST_F(PlayerProcessAttackTest, IdleFloodFromOneAddressLeavesAnotherServed) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2500) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur < 2500) GTEST_SKIP() << "needs 2,500 descriptors";
    ASSERT_TRUE(player->connect().valid());
    std::vector<platform::Socket> idle;
    for (int i = 0; i < 2000; ++i) {
        auto socket = test::connectFrom("127.0.0.1", player->port());
        if (!socket.valid()) break;
        idle.push_back(std::move(socket));
    }
    EXPECT_EQ(idle.size(), 2000u);
    const auto answer = get("/getvolume", "127.0.0.2");
    EXPECT_TRUE(answer.complete);
    EXPECT_EQ(answer.status, 200);
    std::size_t refused = 0;
    for (auto& socket : idle) {
        socket.setRecvTimeout(std::chrono::milliseconds(10));
        char c;
        if (socket.recvSome(&c, 1) == 0) ++refused;
    }
    EXPECT_GE(refused, 2000u - http::kMaxConnectionsPerAddress);
    idle.clear();
    EXPECT_EQ(player->quit(), 0);
}

}  // namespace
}  // namespace lyrebox
