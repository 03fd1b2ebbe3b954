// The network protections once more against the real player process with
// the plugin and its INI, so the plugin is known to turn them on: DNS
// rebinding, a cross-site command, a stored script, and password guessing.
#include "tests/support/PlayerProcess.h"
#include "tests/support/TempDir.h"

#include "http/AccessControl.h"
#include "http/HttpLimits.h"
#include "library/LibraryText.h"

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

class NetworkProcessAttackTest : public ::testing::Test {
protected:
    void startPlayer(const std::string& extraIni = "") {
        music = tree.folder("music");
        tree.writePattern("music/a.mp3", 10);
        player = std::make_unique<test::PlayerProcess>("Shared Dirs=" + music + "\r\n" + extraIni);
    }

    test::Answer get(const std::string& target, const std::string& headers, const char* from = "127.0.0.1") {
        return player->ask(target, headers, from);
    }
    std::string own() const { return "Host: 127.0.0.1:" + std::to_string(player->port()) + "\r\n"; }

    test::TempDir tree;
    std::string music;
    std::unique_ptr<test::PlayerProcess> player;
};

TEST_F(NetworkProcessAttackTest, RebindingCrossSiteAndStoredScriptAreRefused) {
    startPlayer("Server Names=music.home.arpa\r\n");
    const std::string listing = "/library.js?path=" + percentEncode(music);
    ASSERT_EQ(get(listing, own()).status, 200);
    const auto rebound = get(listing, "Host: rebind.example:" + std::to_string(player->port()) + "\r\n");
    EXPECT_EQ(rebound.status, 421);
    EXPECT_EQ(rebound.body.find("a%2emp3"), std::string::npos);
    EXPECT_EQ(get("/info", "Host: rebind.example\r\n").status, 421);
    EXPECT_EQ(get(listing, "Host: music.home.arpa\r\n").status, 200) << "a name from Server Names";

    const auto forged = get("/setvolume?level=99", own() + "Origin: http://evil.example\r\nSec-Fetch-Site: cross-site\r\n");
    EXPECT_EQ(forged.status, 403);
    EXPECT_NE(get("/getvolume", own()).body, "99");

    ASSERT_EQ(get("/enqueuefile?filename=http%3A%2F%2Fx%2Fa.mp3&title=%3Cscript%3Ealert(1)%3C%2Fscript%3E", own()).body,
              "1");
    const auto title = get("/getplaylisttitle?index=0", own());
    EXPECT_EQ(title.body, "<script>alert(1)</script>");
    EXPECT_EQ(title.header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(title.header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(player->quit(), 0);
}

TEST_F(NetworkProcessAttackTest, GuessingLocksOutOneAddressOnly) {
    startPlayer("requirePassword=1\r\nusername=ann\r\npassword=right\r\n");
    const std::string right = "Authorization: Basic " + base64Encode("ann:right") + "\r\n";
    ASSERT_EQ(get("/getvolume", own() + right).status, 200);
    for (std::size_t i = 0; i < http::kMaxFailedLogins; ++i)
        ASSERT_EQ(get("/getvolume", own() + "Authorization: Basic " + base64Encode("ann:" + std::to_string(i)) + "\r\n")
                      .status,
                  401);
    const auto locked = get("/getvolume", own() + right);
    EXPECT_EQ(locked.status, 429);
    EXPECT_FALSE(locked.header("Retry-After").empty());
    EXPECT_EQ(get("/getvolume", own() + right, "127.0.0.2").status, 200);
    EXPECT_EQ(player->quit(), 0);
}

}  // namespace
}  // namespace lyrebox
