// Line injection into the one outgoing request through every request name
// that fetches another server's list: a client that names the list with CR,
// LF, blanks or other control bytes in its target must not make the player
// write lines of its choosing to any service it can reach.
#include "tests/attack/AttackFixture.h"
#include "tests/attack/ListServer.h"

#include "library/LibraryText.h"

namespace lyrebox::attack {
namespace {

class OutgoingRequestTest : public AttackTest {};

TEST_F(OutgoingRequestTest, NoRequestNameCanInjectLines) {
    ListServer target(streamList(1));
    const std::string base = "http://127.0.0.1:" + std::to_string(target.port()) + "/stream?x";
    const std::string injections[] = {"\r\nSET k 1\r\n\r\nGET /second HTTP/1.1\r\n", "\nSET k 1\n",
                                      " HTTP/1.0\r\nX: y"};
    for (const std::string& injected : injections) {
        const std::string url = percentEncode(base + injected);
        SCOPED_TRACE(url);
        EXPECT_EQ(server.get("/stream?path=" + url).status, 404);
        for (const char* command : {"enqueuefile", "insertfile", "playfile"})
            EXPECT_EQ(server.get(std::string("/") + command + "?title=t&index=0&filename=" + url).status, 200);
    }
    EXPECT_EQ(target.accepted(), 0u);
    EXPECT_TRUE(server.entries().empty());
    // In a posted list an LF ends the line, so what stands before it may be
    // fetched; nothing after it reaches the other server.
    for (const std::string& injected : injections) {
        for (const char* command : {"enqueueplaylist", "playplaylist"})
            EXPECT_EQ(server.get(std::string("/") + command + "?playlist=t%09" + percentEncode(base + injected) + "%0a")
                          .status,
                      200);
    }
    // The same server without the injected bytes is fetched as before.
    EXPECT_EQ(server.get("/stream?path=" + percentEncode(base)).status, 200);
    for (const auto& request : target.requests()) {
        EXPECT_EQ(request.find("SET"), std::string::npos) << request;
        EXPECT_EQ(request.find("second"), std::string::npos) << request;
        EXPECT_EQ(request.find("X: y"), std::string::npos) << request;
        EXPECT_EQ(request.rfind("GET /stream?x HTTP/1.1\r\n", 0), 0u) << request;
    }
}

}  // namespace
}  // namespace lyrebox::attack
