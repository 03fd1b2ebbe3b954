// Reflected markup and header injection: texts a client or a file name
// controls come back escaped where it matters (HTML of "info", JSON and
// JavaScript of "library.js" and the templates, well-formed XML documents,
// M3U lines and response headers that are not split).
#include "tests/attack/AttackFixture.h"

#include "library/LibraryText.h"

#include <sstream>
#include <vector>

namespace lyrebox::attack {
namespace {

// A file name with quotes, markup, a CDATA end, a backslash and a line break
// that would start a header or an M3U line of its own if it were not escaped.
const std::string kHostileName = "q\"'<script>alert(1)<\\script>]]>\r\nInjected: yes\n#EXTINF:0,evil\nhttp:evil";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Every header line of an answer is "Name: value", so nothing was split.
void expectHeadIntact(const libtest::Response& response) {
    const auto headLines = lines(response.head);
    ASSERT_FALSE(headLines.empty());
    for (std::size_t i = 1; i < headLines.size(); ++i) {
        const std::string& line = headLines[i];
        if (line == "\r" || line.empty()) continue;
        EXPECT_EQ(line.back(), '\r') << line;
        EXPECT_NE(line.find(": "), std::string::npos) << line;
        EXPECT_NE(line.rfind("Injected", 0), 0u) << line;
    }
}

class ReflectionTest : public AttackTest {
protected:
    ReflectionTest() { hostile = tree.writePattern("music/" + kHostileName + ".mp3", 50); }
    std::string hostile;
};

TEST_F(ReflectionTest, InfoPageEscapesEverythingItShows) {
    const std::string markup = "%3Cscript%3Ealert(1)%3C%2Fscript%3E";
    const auto response = server.request(
        "GET /info?a=" + markup + "&%3Cimg%20src%3Dx%3E=1&b=<svg/onload=alert(1)> HTTP/1.1\r\n"
        "Host: <script>alert(2)</script>\r\n"
        "X-Evil: <img src=x onerror=alert(3)>\r\n"
        "Cookie: \"><script>alert(4)</script>\r\n"
        "Connection: close\r\n\r\n");
    EXPECT_EQ(response.status, 200);
    for (const char* tag : {"<script", "<img", "<svg"}) {
        EXPECT_EQ(response.body.find(tag), std::string::npos) << tag << " in\n" << response.body;
    }
    EXPECT_NE(response.body.find("&lt;script&gt;"), std::string::npos) << "the texts are shown, escaped";
}

TEST_F(ReflectionTest, CallbackOtherThanAPlainNameIsDropped) {
    for (const char* callback :
         {"%3Cscript%3Ealert(1)%3C%2Fscript%3E", "alert(1)%3B%2F%2F", "a%0Ab", "x%22y", "f()", "a-b", "a%20b"}) {
        const auto response = server.get(std::string("/library.js?callback=") + callback);
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body.rfind("({", 0), 0u) << callback << ": " << response.body.substr(0, 40);
    }
    EXPECT_EQ(server.get("/library.js?callback=cb.x_%241").body.rfind("cb.x_$1({", 0), 0u);
}

TEST_F(ReflectionTest, HostHeaderThatIsNotAPlainHostIsNotUsed) {
    const std::vector<std::string> hosts = {"evil.com\"><script>alert(1)</script>", "a b", "x'+alert(1)+'",
                                            "h:1/../x", "h\\x", "[::1]:80'", "\x01host"};
    for (const auto& host : hosts) {
        SCOPED_TRACE(host);
        const auto m3u = server.get("/stream?path=" + percentEncode(music + "/a.mp3"),
                                    "Host: " + host + "\r\n");
        EXPECT_EQ(m3u.body.find("<script"), std::string::npos) << m3u.body;
        for (const auto& line : lines(m3u.body)) {
            if (line.empty() || line[0] == '#') continue;
            EXPECT_EQ(line.find(host), std::string::npos) << line;
        }
        for (const char* asset : {"/tunelet.js", "/medialibrary.js"}) {
            const auto script = server.get(asset, "Host: " + host + "\r\n");
            EXPECT_EQ(script.status, 200) << asset;
            EXPECT_EQ(script.body.find(host), std::string::npos) << asset;
            EXPECT_NE(script.body.find("static HOST = '' ||"), std::string::npos) << asset;
        }
    }
    // A plain host is used.
    EXPECT_NE(server.get("/tunelet.js", "Host: example.org:81\r\n").body.find("'example.org:81'"), std::string::npos);
}

TEST_F(ReflectionTest, HostileFileNameInTheListing) {
    const auto response = server.get("library.js", music, "&callback=cb");
    EXPECT_EQ(response.status, 200);
    const std::string& body = response.body;
    EXPECT_EQ(body.find('<'), std::string::npos) << body;
    EXPECT_EQ(body.find('\r'), std::string::npos) << body;
    EXPECT_EQ(body.find("'"), std::string::npos) << body;
    EXPECT_NE(body.find("\"name\" : \"" + percentEncode(kHostileName + ".mp3") + "\""), std::string::npos) << body;
    // Every string of the document is closed on its own line: the quotes pair up.
    for (const auto& line : lines(body)) {
        std::size_t quotes = 0;
        for (char c : line) quotes += c == '"';
        EXPECT_EQ(quotes % 2, 0u) << line;
    }
}

TEST_F(ReflectionTest, HostileFileNameCannotSplitTheDownloadHead) {
    const auto response = server.get("download", hostile, "");
    EXPECT_EQ(response.status, 200);
    expectHeadIntact(response);
    EXPECT_EQ(response.header("Injected"), "");
    const std::string disposition = response.header("Content-Disposition");
    ASSERT_EQ(disposition.rfind("inline; filename=\"", 0), 0u) << disposition;
    // Inside the quoted file name every quote is escaped.
    const std::string quoted = disposition.substr(18, disposition.size() - 19);
    EXPECT_EQ(disposition.back(), '"');
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == '\\') ++i;
        else EXPECT_NE(quoted[i], '"') << disposition;
    }
    EXPECT_EQ(response.body, test::TempDir::pattern(0, 50));
}

TEST_F(ReflectionTest, HostileFileNameStaysOneM3uEntry) {
    for (const std::string& path : {hostile, music}) {
        const auto response = server.get("stream", path, "");
        EXPECT_EQ(response.status, 200);
        expectHeadIntact(response);
        const auto m3u = lines(response.body);
        ASSERT_FALSE(m3u.empty());
        EXPECT_EQ(m3u[0], "#EXTM3U");
        std::size_t urls = 0;
        for (std::size_t i = 1; i < m3u.size(); ++i) {
            if (m3u[i].rfind("#EXTINF:", 0) == 0) continue;
            EXPECT_EQ(m3u[i].rfind("http://localhost/download?path=", 0), 0u) << m3u[i];
            EXPECT_EQ(m3u[i].find_first_of(" \"<>\r"), std::string::npos) << m3u[i];
            ++urls;
        }
        // The hostile file, plus a.mp3 and sub/b.mp3 for the folder.
        EXPECT_EQ(urls, path == music ? 3u : 1u) << response.body;
    }
}

TEST_F(ReflectionTest, HostileNamesAndTitlesKeepTheXmlDocumentsWellFormed) {
    const std::string title = percentEncode("T\"<script>]]><![CDATA[x</b>&amp;\x01\n");
    EXPECT_EQ(server.get("/enqueuefile?title=" + title + "&filename=" + percentEncode(hostile)).body, "1");
    EXPECT_EQ(server.get("/playfile?title=" + title + "&filename=" + percentEncode(hostile)).body, "1");
    server.player.with([&](test::FakePlayer& p) {
        p.tags[hostile] = {{"title", kHostileName}, {"artist", "]]>"}, {"album", "<a href=x>"}};
    });
    for (const char* document : {"/playlist.xml?id=p1", "/playlist.xml", "/consolestatus.xml"}) {
        const auto response = server.get(document);
        EXPECT_EQ(response.status, 200) << document;
        EXPECT_TRUE(isWellFormedXml(response.body)) << document << "\n" << response.body;
    }
}

}  // namespace
}  // namespace lyrebox::attack
