// Stored markup and user files must never run as pages of this origin:
// player texts come back as plain text, shared files with any playable
// extension as audio (anything else as opaque bytes), every answer forbids
// type guessing, and the app's pages refuse to be framed by other sites.
#include "tests/attack/AttackFixture.h"

#include "library/LibraryText.h"

#include <vector>

namespace lyrebox::attack {
namespace {

const std::string kPlain = "text/plain; charset=utf-8";

class ContentTypeAttackTest : public AttackTest {};

TEST_F(ContentTypeAttackTest, StoredTitleComesBackAsPlainText) {
    const std::string script = percentEncode("<script>alert(document.domain)</script>");
    ASSERT_EQ(server.get("/enqueuefile?filename=http%3A%2F%2Fx%2Fa.mp3&title=" + script).body, "1");
    for (const char* target : {"/getplaylisttitle?index=0", "/getplaylistfilename?index=0"}) {
        const auto response = server.get(target);
        EXPECT_EQ(response.status, 200) << target;
        EXPECT_EQ(response.header("Content-Type"), kPlain) << target;
        EXPECT_EQ(response.header("X-Content-Type-Options"), "nosniff") << target;
    }
    EXPECT_EQ(server.get("/getplaylisttitle?index=0").body, "<script>alert(document.domain)</script>");
}

TEST_F(ContentTypeAttackTest, HostileFileNameInAShareComesBackAsPlainText) {
    const std::string file = tree.writePattern("music/q\"<img src=x onerror=alert(1)>.mp3", 10);
    ASSERT_EQ(server.get("/enqueuefile?filename=" + percentEncode(file)).body, "1");
    const auto response = server.get("/getplaylistfilename?index=0");
    EXPECT_EQ(response.body, file);
    EXPECT_EQ(response.header("Content-Type"), kPlain);
}

TEST_F(ContentTypeAttackTest, EveryCommandAnswersPlainText) {
    for (const char* name : {"play", "pause", "stop", "prev", "next", "ffw5s", "rew5s", "getvolume", "setvolume",
                             "getplaylistlength", "getplaylistfilename", "getplaylisttitle", "getplaylistpos",
                             "setplaylistpos", "deleteplaylistitem", "moveplaylistitem", "clearplaylist",
                             "getshuffle", "setshuffle", "toggleshuffle", "getrepeat", "setrepeat", "togglerepeat",
                             "getposition", "setposition", "enqueuefile", "insertfile", "playfile",
                             "enqueueplaylist", "playplaylist"}) {
        const auto response = server.get(std::string("/") + name);
        EXPECT_EQ(response.status, 200) << name;
        EXPECT_EQ(response.header("Content-Type"), kPlain) << name;
    }
}

TEST_F(ContentTypeAttackTest, SharedFilesGetAnAudioTypeInAnyLetterCase) {
    const struct {
        const char* name;
        const char* type;
    } files[] = {
        {"x.mp3", "audio/mpeg"},  {"x.MP3", "audio/mpeg"},     {"x.ogg", "audio/ogg"},   {"x.OGG", "audio/ogg"},
        {"x.flac", "audio/flac"}, {"x.Flac", "audio/flac"},    {"x.m4a", "audio/mp4"},   {"x.mp4", "audio/mp4"},
        {"x.wav", "audio/wav"},   {"x.wma", "audio/x-ms-wma"}, {"x.WMA", "audio/x-ms-wma"},
    };
    for (const auto& f : files) {
        // HTML bytes under a music name: a browser must not run them.
        const std::string path = tree.write(std::string("music/types/") + f.name);
        std::ofstream(path, std::ios::binary) << "<html><script>alert(1)</script></html>";
        const auto response = server.get("download", path, "");
        EXPECT_EQ(response.status, 200) << f.name;
        EXPECT_EQ(response.header("Content-Type"), f.type) << f.name;
        EXPECT_EQ(response.header("X-Content-Type-Options"), "nosniff") << f.name;
    }
}

TEST_F(ContentTypeAttackTest, EveryPlayableExtensionHasAnAudioType) {
    for (const auto& extension : playableExtensions()) {
        for (const std::string& name : {"x." + extension, "X." + [&] {
                                            std::string upper = extension;
                                            for (char& c : upper) c = static_cast<char>(std::toupper(c));
                                            return upper;
                                        }()}) {
            EXPECT_EQ(downloadContentType(name).rfind("audio/", 0), 0u) << name;
        }
    }
    for (const char* other : {"x.txt", "x.html", "x.svg", "x", "", "x.mp3.html", ".mp3x"})
        EXPECT_EQ(downloadContentType(other), "application/octet-stream") << other;
}

TEST_F(ContentTypeAttackTest, EveryAnswerForbidsTypeGuessing) {
    const std::vector<std::string> requests = {
        "GET / HTTP/1.1\r\n",
        "GET /library HTTP/1.1\r\n",
        "GET /tunelet.js HTTP/1.1\r\n",
        "GET /console.gif HTTP/1.1\r\n",
        "GET /playlist.xml HTTP/1.1\r\n",
        "GET /library.js HTTP/1.1\r\n",
        "GET /stream?path=" + percentEncode(music) + " HTTP/1.1\r\n",
        "GET /download?path=" + percentEncode(music + "/a.mp3") + " HTTP/1.1\r\n",
        "GET /download?path=" + percentEncode(music + "/a.mp3") + " HTTP/1.1\r\nRange: bytes=500-\r\n",
        "GET /download?path=%2Fnowhere.mp3 HTTP/1.1\r\n",
        "GET /getvolume HTTP/1.1\r\n",
        "GET /no-such-name HTTP/1.1\r\n",
        "GET /info HTTP/1.1\r\n",
        "GET /getvolume HTTP/1.1\r\nIf-Modified-Since: x\r\n",
        "PUT /getvolume HTTP/1.1\r\n",
        "GET noslash HTTP/1.1\r\n",
    };
    for (const auto& head : requests) {
        const auto response = server.request(head + "Host: localhost\r\nConnection: close\r\n\r\n");
        EXPECT_NE(response.status, 0) << head;
        EXPECT_EQ(response.header("X-Content-Type-Options"), "nosniff") << head << response.head;
        EXPECT_NE(response.header("Content-Type"), "") << head;
    }
    server.server().setCredentials("ann", "pw");
    server.server().setRequirePassword(true);
    const auto refused = server.get("/getvolume");
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.header("X-Content-Type-Options"), "nosniff");
}

TEST_F(ContentTypeAttackTest, PagesRefuseForeignFramesAndReferrers) {
    for (const char* page : {"/", "/library"}) {
        const auto response = server.get(page);
        EXPECT_EQ(response.status, 200) << page;
        EXPECT_EQ(response.header("Content-Type"), "text/html") << page;
        const std::string policy = response.header("Content-Security-Policy");
        EXPECT_NE(policy.find("frame-ancestors 'self'"), std::string::npos) << policy;
        // The library page loads another server's listing as a script.
        EXPECT_EQ(policy.find("script-src"), std::string::npos) << policy;
        EXPECT_EQ(policy.find("default-src"), std::string::npos) << policy;
        EXPECT_EQ(response.header("Referrer-Policy"), "no-referrer") << page;
    }
    EXPECT_EQ(server.get("/getvolume").header("Content-Security-Policy"), "");
}

}  // namespace
}  // namespace lyrebox::attack
