// The server inside the real player: settings from the INI, quit with open
// connections.
#include "http/AccessControl.h"
#include "PlayerProcess.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

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
    PlayerProcess player("autoStart=0\r\n");
    // Init has returned (the player said so) without starting the server.
    EXPECT_FALSE(test::connectFrom("127.0.0.1", player.port()).valid());
}

}  // namespace
}  // namespace lyrebox
