// Requests forged by a page of another site: a browser marks them with
// Origin or Sec-Fetch-Site, and no name that changes the player may act on
// them. Read-only names stay open to every page (another server's library
// page loads library.js as a script; media players fetch downloads), and
// clients that send neither header are served as before.
#include "tests/attack/AttackFixture.h"

#include "api/RequestRouter.h"
#include "library/LibraryText.h"

#include <vector>

namespace lyrebox::attack {
namespace {

const std::vector<std::string> kChangingNames = {
    "prev", "play", "pause", "stop", "next", "ffw5s", "rew5s", "setvolume", "setplaylistpos",
    "deleteplaylistitem", "moveplaylistitem", "clearplaylist", "setshuffle", "toggleshuffle", "setrepeat",
    "togglerepeat", "setposition", "enqueuefile", "insertfile", "playfile", "enqueueplaylist", "playplaylist"};

const std::vector<std::string> kReadOnlyNames = {
    "getvolume", "getplaylistlength", "getplaylistfilename", "getplaylisttitle", "getplaylistpos", "getshuffle",
    "getrepeat", "getposition", "consolestatus.xml", "playlist.xml", "library.js", "download", "stream",
    "", "library", "tunelet.js", "medialibrary.js", "console.gif", "favicon.ico"};

// What a browser adds to a request a page of another site makes it send.
const char* const kForeignMarks[] = {
    "Origin: http://evil.example\r\nSec-Fetch-Site: cross-site\r\n",
    "Origin: http://evil.example\r\n",
    "Origin: null\r\n",
    "Origin: http://127.0.0.2:5151\r\n",
    "Sec-Fetch-Site: cross-site\r\n",
    "Sec-Fetch-Site: same-site\r\n",
    "origin: http://evil.example\r\n",
};

class OriginAttackTest : public AttackTest {
protected:
    int volume() {
        int value = 0;
        server.player.with([&](test::FakePlayer& p) { value = p.volume; });
        return value;
    }
    libtest::Response send(const std::string& method, const std::string& target, const std::string& marks) {
        std::string raw = method + " " + target + " HTTP/1.1\r\nHost: " + server.hostPort() + "\r\n" + marks;
        if (method == "POST") {
            const std::string body = "level=7";
            raw += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                   std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        } else {
            raw += "Connection: close\r\n\r\n";
        }
        return server.request(raw);
    }
};

TEST_F(OriginAttackTest, EveryNameSaysWhetherItChangesThePlayer) {
    for (const auto& name : kChangingNames)
        EXPECT_EQ(server.router().accessOf(name), Access::ChangesPlayer) << name;
    for (const auto& name : kReadOnlyNames) EXPECT_EQ(server.router().accessOf(name), Access::ReadOnly) << name;
    EXPECT_EQ(server.router().accessOf("no-such-name"), std::nullopt);
}

TEST_F(OriginAttackTest, ForeignRequestsCannotChangeTheVolume) {
    for (const char* method : {"GET", "POST"}) {
        for (const char* marks : kForeignMarks) {
            SCOPED_TRACE(std::string(method) + " " + marks);
            const auto response = send(method, "/setvolume?level=99", marks);
            EXPECT_EQ(response.status, 403);
            EXPECT_EQ(response.header("Content-Type"), "text/plain; charset=utf-8");
            EXPECT_EQ(response.header("X-Content-Type-Options"), "nosniff");
            EXPECT_FALSE(response.body.empty());
            EXPECT_LT(response.body.size(), 200u);
            EXPECT_EQ(volume(), 100);
        }
    }
}

TEST_F(OriginAttackTest, ForeignRequestsCannotTouchThePlayList) {
    const std::string file = percentEncode(music + "/a.mp3");
    server.player.takeLog();
    for (const auto& name : kChangingNames) {
        const auto response = send("GET", "/" + name + "?filename=" + file + "&playlist=t%09" + file + "%0a",
                                   kForeignMarks[0]);
        EXPECT_EQ(response.status, 403) << name;
    }
    EXPECT_TRUE(server.entries().empty());
    EXPECT_EQ(volume(), 100);
    EXPECT_TRUE(server.player.takeLog().empty()) << "no command reached the player";
}

TEST_F(OriginAttackTest, SameOriginAndUnmarkedRequestsAreServed) {
    const std::string own = "http://" + server.hostPort();
    const std::string marks[] = {
        "",
        "Origin: " + own + "\r\n",
        "Origin: " + own + "\r\nSec-Fetch-Site: same-origin\r\n",
        "Sec-Fetch-Site: same-origin\r\n",
        "Sec-Fetch-Site: none\r\n",
    };
    int level = 10;
    for (const auto& mark : marks) {
        SCOPED_TRACE(mark);
        const auto response = send("GET", "/setvolume?level=" + std::to_string(level), mark);
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body, "1");
        EXPECT_EQ(volume(), level++);
    }
    EXPECT_EQ(send("POST", "/setvolume", "Origin: " + own + "\r\n").status, 200);
    EXPECT_EQ(volume(), 7);
}

TEST_F(OriginAttackTest, ReadOnlyNamesStayOpenToOtherSites) {
    const std::string foreign = kForeignMarks[0];
    const std::vector<std::string> targets = {
        "/getvolume", "/consolestatus.xml", "/playlist.xml", "/library.js?path=" + percentEncode(music),
        "/download?path=" + percentEncode(music + "/a.mp3"), "/stream?path=" + percentEncode(music), "/",
        "/library", "/tunelet.js", "/console.gif", "/info"};
    for (const auto& target : targets) {
        EXPECT_EQ(send("GET", target, foreign).status, 200) << target;
    }
}

}  // namespace
}  // namespace lyrebox::attack
