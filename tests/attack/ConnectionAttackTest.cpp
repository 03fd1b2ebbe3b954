// Hostile connections: oversized heads and bodies, slow heads, a flood of
// idle connections from one address, and pipelined requests. Each gets a
// clear answer or a close, and other clients keep being served.
#include "tests/attack/AttackFixture.h"
#include "tests/support/RawHttp.h"

#include "http/HttpLimits.h"
#include "library/LibraryText.h"

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace lyrebox::attack {
namespace {

using namespace std::chrono_literals;
using test::connectFrom;
using test::peerClosed;
using test::readAnswer;
using test::sendText;

class ConnectionAttackTest : public AttackTest {
protected:
    platform::Socket connect() { return connectFrom("127.0.0.1", server.port()); }
    // A plain request any client should get answered meanwhile.
    void expectServedFrom(const char* address) {
        auto socket = connectFrom(address, server.port());
        ASSERT_TRUE(socket.valid()) << address;
        sendText(socket, "GET /library.js HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
        const auto answer = readAnswer(socket);
        EXPECT_TRUE(answer.complete) << address;
        EXPECT_EQ(answer.status, 200) << address;
    }
};

TEST_F(ConnectionAttackTest, OversizedHeadsGet431AndTheConnectionCloses) {
    const std::string huge(http::kHeadBufferSize + 100, 'a');
    for (const std::string& request :
         {"GET /library.js HTTP/1.1\r\nX-Big: " + huge + "\r\n\r\n", "GET /" + huge + " HTTP/1.1\r\n\r\n",
          "GET /library.js HTTP/1.1\r\n" + std::string(http::kHeadBufferSize, '\n')}) {
        auto socket = connect();
        sendText(socket, request);
        const auto answer = readAnswer(socket);
        EXPECT_EQ(answer.status, 431);
        EXPECT_EQ(answer.header("Connection"), "close");
        EXPECT_TRUE(peerClosed(socket));
    }
    expectServedFrom("127.0.0.1");
}

TEST_F(ConnectionAttackTest, OversizedBodiesGet413AndTheConnectionCloses) {
    const std::size_t tooBig = http::kMaxBodySize + 1;
    {
        // Announced only: answered without waiting for the body.
        auto socket = connect();
        sendText(socket, "POST /enqueuefile HTTP/1.1\r\nContent-Length: " + std::to_string(tooBig) + "\r\n\r\n");
        EXPECT_EQ(readAnswer(socket).status, 413);
        EXPECT_TRUE(peerClosed(socket));
    }
    {
        // Sent in full: the answer still arrives, and the sender is not reset mid-body.
        auto socket = connect();
        std::thread sender([&] {
            sendText(socket, "POST /enqueuefile HTTP/1.1\r\nContent-Length: " + std::to_string(tooBig) + "\r\n\r\n" +
                                 std::string(tooBig, 'x'));
        });
        const auto answer = readAnswer(socket);
        sender.join();
        EXPECT_EQ(answer.status, 413);
    }
    // A length past any integer is too large; a negative one counts as none.
    for (const auto& [length, status] : std::vector<std::pair<std::string, int>>{{"99999999999999999999", 413},
                                                                                  {"-5", 200}}) {
        auto socket = connect();
        sendText(socket, "POST /library.js HTTP/1.1\r\nConnection: close\r\nContent-Length: " + length + "\r\n\r\n");
        EXPECT_EQ(readAnswer(socket).status, status) << length;
    }
    EXPECT_TRUE(server.entries().empty());
    expectServedFrom("127.0.0.1");
}

TEST_F(ConnectionAttackTest, SlowHeadsAreCutAtTheHeadTimeOut) {
    server.server().setHeadTimeout(300ms);
    // Silent after a few bytes.
    auto silent = connect();
    sendText(silent, "GET /libr");
    // Trickling a byte at a time does not extend the deadline.
    auto trickling = connect();
    std::atomic<bool> closed{false};
    std::thread trickle([&] {
        const std::string head = "GET /library.js HTTP/1.1\r\nX-Slow: " + std::string(400, 'a');
        for (char c : head) {
            if (closed || trickling.sendAll(&c, 1) != 1) return;
            std::this_thread::sleep_for(20ms);  // the attack itself: a slow client
        }
    });
    EXPECT_TRUE(peerClosed(silent));
    EXPECT_TRUE(peerClosed(trickling));
    closed = true;
    trickle.join();
    expectServedFrom("127.0.0.1");
}

TEST_F(ConnectionAttackTest, IdleFloodFromOneAddressLeavesOthersServed) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 4096) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur < 2600) GTEST_SKIP() << "needs 2,600 descriptors";
    std::vector<platform::Socket> idle;
    idle.reserve(2000);
    for (int i = 0; i < 2000; ++i) {
        auto socket = connectFrom("127.0.0.1", server.port());
        if (!socket.valid()) break;
        idle.push_back(std::move(socket));
    }
    EXPECT_EQ(idle.size(), 2000u);
    expectServedFrom("127.0.0.2");
    EXPECT_LE(server.server().connectionCount(), http::kMaxConnectionsPerAddress + 1);
    // Most of the flood was refused: the server closed those at once.
    std::size_t refused = 0;
    for (auto& socket : idle) {
        socket.setRecvTimeout(10ms);
        char c;
        if (socket.recvSome(&c, 1) == 0) ++refused;
    }
    EXPECT_GE(refused, 2000u - http::kMaxConnectionsPerAddress);
    idle.clear();
    expectServedFrom("127.0.0.1");
}

TEST_F(ConnectionAttackTest, PipelinedRequestsAreAnsweredInOrder) {
    auto socket = connect();
    const std::string body = "title=t&filename=" + percentEncode(music + "/a.mp3");
    sendText(socket,
             "GET /library.js?callback=first HTTP/1.1\r\nHost: h\r\n\r\n"
             "POST /enqueuefile HTTP/1.1\r\nHost: h\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                 body +
                 "GET /download?path=" + percentEncode(music + "/a.mp3") + " HTTP/1.1\r\nRange: bytes=0-9\r\n\r\n"
                 "GET /library.js?callback=last HTTP/1.1\r\nConnection: close\r\n\r\n");
    std::string carry;
    const auto first = readAnswer(socket, carry);
    EXPECT_EQ(first.body.rfind("first(", 0), 0u);
    EXPECT_EQ(readAnswer(socket, carry).body, "1");
    const auto range = readAnswer(socket, carry);
    EXPECT_EQ(range.status, 206);
    EXPECT_EQ(range.body, test::TempDir::pattern(0, 10));
    EXPECT_EQ(readAnswer(socket, carry).body.rfind("last(", 0), 0u);
    EXPECT_TRUE(peerClosed(socket));
    EXPECT_EQ(server.entries().size(), 1u);
}

TEST_F(ConnectionAttackTest, GarbageRequestLinesGetAnAnswerOrAClose) {
    for (const std::string& request :
         {std::string("\0\0\0\0\r\n\r\n", 8), std::string("GET\r\n\r\n"), std::string("DELETE / HTTP/1.1\r\n\r\n"),
std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11)}) {
        auto socket = connect();
        sendText(socket, request);
        socket.shutdownWrite();
        const auto answer = readAnswer(socket);
        if (answer.complete) {
            EXPECT_NE(answer.status, 200);
        }
    }
    expectServedFrom("127.0.0.1");
}

}  // namespace
}  // namespace lyrebox::attack
