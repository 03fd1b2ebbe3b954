// DNS rebinding: a page whose name is made to resolve to the player's
// address asks with its own name in Host. Such a request gets 421 and
// nothing else, whatever its name; the machine's addresses and names, and
// names the user lists, are served.
#include "tests/attack/AttackFixture.h"

#include "http/RequestSite.h"
#include "library/LibraryText.h"

#include <vector>

namespace lyrebox::attack {
namespace {

class RebindingAttackTest : public AttackTest {
protected:
    RebindingAttackTest() { server.server().setCheckHostNames(true); }

    libtest::Response getAs(const std::string& target, const std::string& host) {
        return server.get(target, "Host: " + host + "\r\n");
    }
};

TEST_F(RebindingAttackTest, ForeignHostGetsNothingFromAnyName) {
    const std::string port = std::to_string(server.port());
    const std::vector<std::string> targets = {
        "/library.js", "/library.js?path=" + percentEncode(music), "/info", "/", "/library",
        "/tunelet.js", "/console.gif", "/playlist.xml", "/consolestatus.xml", "/getvolume",
        "/getplaylisttitle?index=0", "/download?path=" + percentEncode(music + "/a.mp3"),
        "/stream?path=" + percentEncode(music), "/setvolume?level=1", "/no-such-name"};
    const std::vector<std::string> hosts = {"rebind.example:" + port, "REBIND.example", "127.0.0.1.rebind.example"};
    for (const auto& target : targets) {
        for (const auto& host : hosts) {
            SCOPED_TRACE(target + " as " + host);
            const auto response = getAs(target, host);
            EXPECT_EQ(response.status, 421);
            EXPECT_EQ(response.header("Content-Type"), "text/plain; charset=utf-8");
            EXPECT_EQ(response.body.find(music), std::string::npos);
            EXPECT_EQ(response.body.find("<"), std::string::npos);
            EXPECT_EQ(response.header("Connection"), "close");
        }
    }
    server.player.with([](test::FakePlayer& p) { EXPECT_EQ(p.volume, 100); });
}

TEST_F(RebindingAttackTest, HostileHostIsRefusedBeforeTheChallenge) {
    server.server().setCredentials("ann", "pw");
    server.server().setRequirePassword(true);
    // A 401 would make the browser ask for the password on the attacker's page.
    const auto response = getAs("/getvolume", "rebind.example");
    EXPECT_EQ(response.status, 421);
    EXPECT_EQ(response.header("WWW-Authenticate"), "");
}

TEST_F(RebindingAttackTest, OwnAddressesAndNamesAreServed) {
    const std::string port = std::to_string(server.port());
    std::vector<std::string> hosts = {"127.0.0.1:" + port, "127.0.0.1", "localhost:" + port, "LocalHost.",
                                      "[::1]:" + port, "192.168.1.20"};
    for (const auto& own : machineHostNames()) hosts.push_back(own + ":" + port);
    for (const auto& host : hosts) {
        const auto response = getAs("/library.js?path=" + percentEncode(music), host);
        EXPECT_EQ(response.status, 200) << host;
        EXPECT_NE(response.body.find("a%2emp3"), std::string::npos) << host;
    }
    const auto noHost = server.request("GET /getvolume HTTP/1.0\r\n\r\n");
    EXPECT_EQ(noHost.status, 200);
}

TEST_F(RebindingAttackTest, ServerNamesAddTheUsersOwnDnsNames) {
    EXPECT_EQ(getAs("/getvolume", "music.home.arpa").status, 421);
    server.server().setServerNames("music.home.arpa; Player.Example.");
    for (const char* host : {"music.home.arpa", "MUSIC.home.arpa:5151", "player.example", "player.example.:80"})
        EXPECT_EQ(getAs("/getvolume", host).status, 200) << host;
    EXPECT_EQ(getAs("/getvolume", "rebind.example").status, 421);
    server.server().setServerNames("");
    EXPECT_EQ(getAs("/getvolume", "music.home.arpa").status, 421);
}

}  // namespace
}  // namespace lyrebox::attack
