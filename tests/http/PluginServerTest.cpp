// The server inside the real player: settings from the INI, quit with open
// connections.
#include "http/AccessControl.h"
#include "tests/support/PlayerProcess.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace lyrebox {
namespace {

using test::PlayerProcess;

test::Answer ask(platform::Socket& s, const std::string& request) {
    test::sendText(s, request);
    return test::readAnswer(s);
}

TEST(PluginServer, ServesInfoAndRoutesOtherNames) {
    PlayerProcess player("");
    auto s = player.connect();
    ASSERT_TRUE(s.valid());
    auto info = ask(s, "GET //info HTTP/1.1\r\n\r\n");
    EXPECT_EQ(info.status, 200);
    EXPECT_NE(info.body.find("<b>Request URI:</b>"), std::string::npos);
    auto unknown = ask(s, "GET /no-such-name HTTP/1.1\r\n\r\n");
    EXPECT_EQ(unknown.head.rfind("HTTP/1.1 404 Not found\r\n", 0), 0u);
    EXPECT_EQ(unknown.body, "<h1>404 Not Found</h1>");
}

TEST(PluginServer, QuitWithOpenConnectionsEndsCleanly) {
    PlayerProcess player("");
    std::vector<platform::Socket> open;
    for (int i = 0; i < 50; ++i) {
        open.push_back(player.connect());
        ASSERT_EQ(ask(open.back(), "GET /info HTTP/1.1\r\n\r\n").status, 200);
    }
    int status = player.quit();
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (auto& s : open) EXPECT_TRUE(test::peerClosed(s));
}

// Reads until text arrives on the stream (false if the stream ends first).
bool readUntil(platform::Socket& s, std::string& seen, const std::string& text) {
    char chunk[4096];
    while (seen.find(text) == std::string::npos) {
        const long n = s.recvSome(chunk, sizeof chunk);
        if (n <= 0) return false;
        seen.append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

// True when the stream ends (everything still in flight is read first).
bool streamEnds(platform::Socket& s) {
    char chunk[4096];
    for (;;) {
        const long n = s.recvSome(chunk, sizeof chunk);
        if (n <= 0) return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    }
}

TEST(PluginServer, EventStreamsFollowCommandsAndEndAtQuit) {
    PlayerProcess player("");
    std::vector<platform::Socket> streams;
    std::vector<std::string> seen(8);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        streams.push_back(player.connect());
        streams.back().setRecvTimeout(std::chrono::seconds(30));
        test::sendText(streams.back(), "GET /events HTTP/1.1\r\n\r\n");
        ASSERT_TRUE(readUntil(streams.back(), seen[i], "event: status\n")) << seen[i];
    }
    auto command = player.connect();
    ASSERT_EQ(ask(command, "GET /setvolume?level=33 HTTP/1.1\r\n\r\n").body, "1");
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_TRUE(readUntil(streams[i], seen[i], "\"volume\":33,"));

    // No idle time-out applies to the streams: only the quit can end them.
    int status = player.quit();
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (auto& s : streams) EXPECT_TRUE(streamEnds(s));
}

TEST(PluginServer, AccessSettingsComeFromTheIni) {
    PlayerProcess player("requirePassword=1\r\nusername=ann\r\npassword=pw\r\nfilterIPs=1\r\nAllowed IPs=127.0.0.2\r\n");
    auto allowed = player.connect("127.0.0.2");
    ASSERT_TRUE(allowed.valid());
    EXPECT_EQ(ask(allowed, "GET /info?auth=" + base64Encode("ann:pw") + " HTTP/1.1\r\n\r\n").status, 200);
    auto refusedAuth = player.connect("127.0.0.2");
    auto challenge = ask(refusedAuth, "GET /info HTTP/1.1\r\n\r\n");
    EXPECT_EQ(challenge.status, 401);
    EXPECT_EQ(challenge.header("WWW-Authenticate"), "Basic realm=\"Tunelet\"");
    auto filtered = test::connectFrom("127.0.0.1", player.port());
    test::sendText(filtered, "GET /info HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(test::readAnswer(filtered).head.empty());
}

TEST(PluginServer, NoAutoStartMeansNothingListens) {
    // A port the kernel gave a socket closed at once: nothing listens there.
    const std::uint16_t port = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0).localPort();
    PlayerProcess player(PlayerProcess::Setup{.iniLines = "autoStart=0\r\n", .port = port});
    // Init has returned (the player said so) without starting the server.
    EXPECT_FALSE(test::connectFrom("127.0.0.1", player.port()).valid());
}

}  // namespace
}  // namespace lyrebox
