// Stream URLs that point at a hostile server: one that never answers and
// one that sends 100 MB. The fetch is bounded in time and in size, and the
// client that asked gets its answer.
#include "tests/attack/AttackFixture.h"

#include "api/HttpRemoteFetch.h"
#include "library/LibraryLimits.h"
#include "library/LibraryText.h"

#include <arpa/inet.h>
#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace lyrebox::attack {
namespace {

using namespace std::chrono_literals;

// Accepts one connection at a time, reads the request and sends a head
// announcing 100 MB and then play-list lines until the peer goes away.
class FloodServer {
public:
    static constexpr std::uint64_t kAnnounced = 100ull * 1024 * 1024;

    explicit FloodServer(bool withLength) : listening_(platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0)) {
        // The listening socket comes non-blocking; this server blocks in accept.
        ::fcntl(listening_.fd(), F_SETFL, ::fcntl(listening_.fd(), F_GETFL) & ~O_NONBLOCK);
        thread_ = std::thread([this, withLength] {
            while (!stop_) {
                platform::Socket client(::accept(listening_.fd(), nullptr, nullptr));
                if (!client.valid() || stop_) return;
                char request[4096];
                client.recvSome(request, sizeof request);
                std::string head = "HTTP/1.1 200 OK\r\nContent-Type: audio/x-mpegurl\r\n";
                if (withLength) head += "Content-Length: " + std::to_string(kAnnounced) + "\r\n";
                head += "\r\n";
                client.sendAll(head.data(), head.size());
                std::string chunk;
                while (chunk.size() < 64 * 1024) chunk += "#EXTINF:0,x\nhttp://127.0.0.1:1/download?path=x.mp3\n";
                std::uint64_t sent = 0;
                while (sent < kAnnounced && !stop_) {
                    const std::size_t n = client.sendAll(chunk.data(), chunk.size());
                    sent += n;
                    if (n != chunk.size()) break;
                }
                maxSent_ = std::max<std::uint64_t>(maxSent_, sent);
            }
        });
    }
    ~FloodServer() {
        stop_ = true;
        listening_.shutdownBoth();
        // Wake a blocked accept.
        platform::Socket::connectTcp("127.0.0.1", port(), 1s);
        thread_.join();
    }
    std::uint16_t port() const { return listening_.localPort(); }
    std::uint64_t maxSent() const { return maxSent_; }

private:
    platform::Socket listening_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> maxSent_{0};
    std::thread thread_;
};

class RemoteFetchTest : public AttackTest {
protected:
    RemoteFetchTest() { server.library().setRemoteFetch(httpRemoteFetch(FetchLimits{500ms, 3000ms})); }
};

TEST_F(RemoteFetchTest, ServerThatNeverAnswersIsGivenUpWithinTheTimeOut) {
    // The kernel completes connections to a listening socket nobody accepts on.
    auto silent = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    ASSERT_TRUE(silent.valid());
    const std::string url = "http://127.0.0.1:" + std::to_string(silent.localPort()) + "/stream?path=x";
    server.library().setRemoteFetch(httpRemoteFetch(FetchLimits{500ms, 500ms}));
    EXPECT_EQ(server.get("/stream?path=" + percentEncode(url)).status, 404);
    for (const char* command : {"enqueuefile", "playfile", "insertfile"}) {
        EXPECT_NE(server.get(std::string("/") + command + "?title=t&index=0&filename=" + percentEncode(url)).status, 0)
            << command;
    }
    EXPECT_TRUE(server.entries().empty());
    // The server still answers others.
    EXPECT_EQ(server.get("/library.js").status, 200);
}

TEST_F(RemoteFetchTest, HundredMegabyteAnswersAreCutAtTheSizeLimit) {
    for (bool withLength : {true, false}) {
        SCOPED_TRACE(withLength ? "with Content-Length" : "to the close");
        FloodServer flood(withLength);
        const std::string url = "http://127.0.0.1:" + std::to_string(flood.port()) + "/stream?path=x";
        const auto response = server.get("/stream?path=" + percentEncode(url));
        EXPECT_NE(response.status, 0);
        // Whatever was expanded came from at most the first few megabytes.
        EXPECT_LT(response.body.size(), 4 * limits::kRemoteMaxResponseBytes);
        const auto enqueue = server.get("/enqueuefile?title=t&filename=" + percentEncode(url));
        EXPECT_NE(enqueue.status, 0);
        // The fetch stopped reading: the flood could not get its 100 MB out.
        EXPECT_LT(flood.maxSent(), FloodServer::kAnnounced);
        server.player.with([](test::FakePlayer& p) { p.entries.clear(); });
    }
    EXPECT_EQ(server.get("/library.js").status, 200);
}

}  // namespace
}  // namespace lyrebox::attack
