// The listener and connection threads over real loopback sockets.
#include "http/AccessControl.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/HttpLimits.h"
#include "http/Server.h"
#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "platform/Window.h"
#include "tests/support/RawHttp.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace lyrebox {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using test::Answer;
using test::readAnswer;
using test::sendText;

std::uint32_t loopback() { return htonl(INADDR_LOOPBACK); }

// Answers "routed:<name>" for every name it is given.
void echoName(HttpRequest& request, HttpResponse& response) {
    response.setBody("routed:" + request.name());
    response.send();
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<Server>(0, 0);  // any address, so 127.0.0.2 reaches it too
        server_->setDispatcher(echoName);
    }
    void startServer() {
        ASSERT_TRUE(server_->start());
        ASSERT_TRUE(server_->waitStarted());
        port_ = server_->boundPort();
        ASSERT_NE(port_, 0);
    }
    platform::Socket connect(const char* from = "127.0.0.1") { return test::connectFrom(from, port_); }
    Answer ask(platform::Socket& s, const std::string& request) {
        sendText(s, request);
        return readAnswer(s);
    }

    std::unique_ptr<Server> server_;
    std::uint16_t port_ = 0;
};

TEST_F(ServerTest, KeepAliveUntilConnectionClose) {
    startServer();
    auto s = connect();
    Answer a = ask(s, "GET /one HTTP/1.1\r\n\r\n");
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.body, "routed:one");
    EXPECT_FALSE(a.hasHeader("Connection"));
    a = ask(s, "GET /two HTTP/1.0\r\n\r\n");
    EXPECT_EQ(a.body, "routed:two");
    a = ask(s, "GET /three HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(a.body, "routed:three");
    EXPECT_EQ(a.header("Connection"), "close");
    EXPECT_TRUE(test::peerClosed(s));
}

TEST_F(ServerTest, PipelinedRequestsAreBothAnswered) {
    startServer();
    auto s = connect();
    sendText(s, "GET /a HTTP/1.1\r\n\r\nPOST /b HTTP/1.1\r\nContent-Length: 3\r\n\r\nx=1GET /c HTTP/1.1\r\n\r\n");
    std::string carry;
    EXPECT_EQ(readAnswer(s, carry).body, "routed:a");
    EXPECT_EQ(readAnswer(s, carry).body, "routed:b");
    EXPECT_EQ(readAnswer(s, carry).body, "routed:c");
}

TEST_F(ServerTest, NotModifiedForAnyDateKeepsTheConnection) {
    startServer();
    auto s = connect();
    for (const char* date : {"garbage", "Thu, 01 Jan 2099 00:00:00 GMT"}) {
        Answer a = ask(s, std::string("GET /logo.gif HTTP/1.1\r\nIf-Modified-Since: ") + date + "\r\n\r\n");
        EXPECT_TRUE(a.complete);
        EXPECT_EQ(a.head.rfind("HTTP/1.1 304 Not Modified\r\n", 0), 0u);
        EXPECT_FALSE(a.hasHeader("Content-Length"));
        // 304 has no body; the next answer on the connection must come through intact.
        Answer next = ask(s, "GET /after HTTP/1.1\r\n\r\n");
        EXPECT_EQ(next.body, "routed:after");
    }
}

TEST_F(ServerTest, InfoPageByNameOthersRouted) {
    startServer();
    auto s = connect();
    for (const char* target : {"/info", "//info", "/info?x=1"}) {
        SCOPED_TRACE(target);
        Answer a = ask(s, std::string("GET ") + target + " HTTP/1.1\r\nX-Mark: <b>\r\n\r\n");
        EXPECT_EQ(a.status, 200);
        EXPECT_EQ(a.body.rfind("<table border=\"0\" cellspacing=\"2\">", 0), 0u);
        EXPECT_NE(a.body.find("&lt;b&gt;"), std::string::npos);
    }
    EXPECT_EQ(ask(s, "GET /info/ HTTP/1.1\r\n\r\n").body, "routed:info/");
    EXPECT_EQ(ask(s, "GET /Info HTTP/1.1\r\n\r\n").body, "routed:Info");
    EXPECT_EQ(ask(s, "GET // HTTP/1.1\r\n\r\n").body, "routed:");
    EXPECT_EQ(ask(s, "GET //a/b HTTP/1.1\r\n\r\n").body, "routed:a/b");
}

TEST_F(ServerTest, MalformedRequestsAreAnsweredAndClosed) {
    startServer();
    struct Case {
        const char* request;
        const char* statusLine;
    };
    const Case cases[] = {
        {"get / HTTP/1.1\r\n\r\n", "HTTP/1.1 501 Method not implemented\r\n"},
        {"GET index.html HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request\r\n"},
        {"GET /x?y\r\n\r\n", "HTTP/1.1 400 Bad Request\r\n"},
        {"POST / HTTP/1.1\r\nContent-Length: 2000000\r\n\r\n", "HTTP/1.1 413 Payload Too Large\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        auto s = connect();
        Answer a = ask(s, c.request);
        EXPECT_EQ(a.head.rfind(c.statusLine, 0), 0u);
        EXPECT_EQ(a.body, "");
        if (a.status == 400 || a.status == 501) {
            EXPECT_FALSE(a.hasHeader("Connection"));
        }
        EXPECT_TRUE(test::peerClosed(s));
    }
}

TEST_F(ServerTest, OversizedHeadGets431) {
    startServer();
    auto s = connect();
    Answer a = ask(s, "GET / HTTP/1.1\r\nPad: " + std::string(http::kHeadBufferSize, 'p') + "\r\n\r\n");
    EXPECT_EQ(a.status, 431);
    EXPECT_EQ(a.header("Connection"), "close");
}

TEST_F(ServerTest, PortInUseEndsTheRunAndAnotherPortWorks) {
    startServer();
    Server second(loopback(), port_);
    second.setDispatcher(echoName);
    ASSERT_TRUE(second.start());
    EXPECT_FALSE(second.waitStarted());
    second.stoppedEvent().wait();
    EXPECT_FALSE(second.isRunning());
    second.setPort(0);
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.waitStarted());
    ASSERT_NE(second.boundPort(), port_);
    auto s = test::connectLoopback(second.boundPort());
    EXPECT_EQ(ask(s, "GET /x HTTP/1.1\r\n\r\n").body, "routed:x");
}

TEST_F(ServerTest, PendingStopEndsTheNextRunThenStartWorks) {
    server_->signalStop();
    ASSERT_TRUE(server_->start());
    server_->join();
    EXPECT_TRUE(server_->stoppedEvent().isSet());
    startServer();
    auto s = connect();
    EXPECT_EQ(ask(s, "GET /x HTTP/1.1\r\n\r\n").body, "routed:x");
    server_->signalStop();
    server_->stoppedEvent().wait();
    // Stopping the listener leaves open connections working.
    EXPECT_EQ(ask(s, "GET /y HTTP/1.1\r\n\r\n").body, "routed:y");
}

TEST_F(ServerTest, IdleKeepAliveConnectionTimesOut) {
    server_->setIdleTimeout(50ms);
    startServer();
    auto s = connect();
    EXPECT_EQ(ask(s, "GET /x HTTP/1.1\r\n\r\n").status, 200);
    EXPECT_TRUE(test::peerClosed(s));
}

TEST_F(ServerTest, IncompleteHeadTimesOut) {
    server_->setHeadTimeout(50ms);
    startServer();
    auto silent = connect();
    auto partial = connect();
    sendText(partial, "GET /x HTTP/1.1\r\nHost: a");
    EXPECT_TRUE(test::peerClosed(silent));
    EXPECT_TRUE(test::peerClosed(partial));
}

TEST_F(ServerTest, PerAddressCapHoldsWhileOtherAddressesAreServed) {
    startServer();
    std::vector<platform::Socket> held;
    for (std::size_t i = 0; i < http::kMaxConnectionsPerAddress; ++i) {
        held.push_back(connect());
        ASSERT_EQ(ask(held.back(), "GET /x HTTP/1.1\r\n\r\n").status, 200);  // its thread is serving
    }
    auto refused = connect();
    sendText(refused, "GET /x HTTP/1.1\r\n\r\n");
    EXPECT_FALSE(readAnswer(refused).complete);
    auto other = connect("127.0.0.2");
    EXPECT_EQ(ask(other, "GET /x HTTP/1.1\r\n\r\n").body, "routed:x");
    EXPECT_EQ(ask(held.front(), "GET /x HTTP/1.1\r\n\r\n").status, 200);  // the held ones still work
}

TEST_F(ServerTest, RunningOutOfDescriptorsKeepsServing) {
    startServer();
    auto open = connect();
    ASSERT_EQ(ask(open, "GET /x HTTP/1.1\r\n\r\n").status, 200);
    platform::Socket waiting(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port_);
    to.sin_addr.s_addr = loopback();

    // Use up every descriptor the (lowered) limit allows.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = 128;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> fillers;
    for (int fd; (fd = ::dup(0)) >= 0;) fillers.push_back(fd);
    // The handshake completes in the kernel; the listener's accept fails.
    ASSERT_EQ(::connect(waiting.fd(), reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    EXPECT_EQ(ask(open, "GET /during HTTP/1.1\r\n\r\n").body, "routed:during");
    for (int fd : fillers) ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    waiting.setRecvTimeout(20s);
    EXPECT_EQ(ask(waiting, "GET /after HTTP/1.1\r\n\r\n").body, "routed:after");
}

TEST_F(ServerTest, DestroyingTheServerClosesOpenConnections) {
    startServer();
    std::vector<platform::Socket> open;
    for (int i = 0; i < 50; ++i) {
        open.push_back(connect());
        ASSERT_EQ(ask(open.back(), "GET /x HTTP/1.1\r\n\r\n").status, 200);
    }
    EXPECT_EQ(server_->connectionCount(), 50u);
    server_.reset();
    for (auto& s : open) EXPECT_TRUE(test::peerClosed(s));
}

TEST_F(ServerTest, ShutdownKeepsAnsweringTheWindowThread) {
    // A connection blocked in a message to this thread's window must finish
    // while this thread destroys the server.
    static platform::HWND window = nullptr;
    static std::atomic<int> handled{0};
    window = platform::createWindow([](platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM) {
        ++handled;
        return platform::LRESULT(42);
    });
    platform::Event inHandler;
    server_->setDispatcher([&](HttpRequest&, HttpResponse& response) {
        inHandler.set();
        auto result = platform::sendMessage(window, platform::WM_USER, 0, 0);
        response.setBody(std::to_string(result));
        response.send();
    });
    startServer();
    auto s = connect();
    sendText(s, "GET /block HTTP/1.1\r\n\r\n");
    inHandler.wait();
    server_.reset();
    EXPECT_EQ(handled.load(), 1);
    platform::destroyWindow(window);
}

TEST_F(ServerTest, AddressFilterRejectsAtAccept) {
    server_->setFilterIPs(true);
    server_->setAllowedIPs("127.0.0.2\n127.0.0.3");
    server_->setBlockedIPs("127.0.0.3");
    startServer();
    for (const char* from : {"127.0.0.1", "127.0.0.3"}) {
        SCOPED_TRACE(from);
        auto s = connect(from);
        sendText(s, "GET /x HTTP/1.1\r\n\r\n");
        Answer a = readAnswer(s);
        EXPECT_FALSE(a.complete);
        EXPECT_TRUE(a.head.empty());
    }
    auto allowed = connect("127.0.0.2");
    EXPECT_EQ(ask(allowed, "GET /x HTTP/1.1\r\n\r\n").body, "routed:x");
}

TEST_F(ServerTest, PasswordRequiredForEveryRequest) {
    server_->setRequirePassword(true);
    server_->setUsername("user");
    server_->setPassword("secret");
    std::string token;
    server_->setDispatcher([&](HttpRequest& request, HttpResponse& response) {
        response.setBody(request.name() + ":" + request.authToken());
        response.send();
    });
    startServer();
    const std::string good = base64Encode("user:secret");

    auto s = connect();
    EXPECT_EQ(ask(s, "GET /x HTTP/1.1\r\nAuthorization: Basic " + good + "\r\n\r\n").body, "x:" + good);
    EXPECT_EQ(ask(s, "GET /y?auth=" + good + " HTTP/1.1\r\n\r\n").body, "y:" + good);

    for (const std::string& request : {"GET /info HTTP/1.1\r\n\r\n"s,
                                        "GET /x HTTP/1.1\r\nAuthorization: basic " + good + "\r\n\r\n",
                                        "get /x HTTP/1.1\r\n\r\n"s}) {
        SCOPED_TRACE(request);
        auto refused = connect();
        Answer a = ask(refused, request);
        EXPECT_EQ(a.head.rfind("HTTP/1.1 401 Unauthorized\r\n", 0), 0u);
        EXPECT_EQ(a.header("WWW-Authenticate"), "Basic realm=\"Tunelet\"");
        EXPECT_EQ(a.header("Connection"), "close");
        EXPECT_EQ(a.body, "");
        EXPECT_TRUE(test::peerClosed(refused));
    }
}

TEST_F(ServerTest, EmptyCredentialsAcceptOnlyAColon) {
    server_->setRequirePassword(true);
    startServer();
    auto s = connect();
    EXPECT_EQ(ask(s, "GET /x HTTP/1.1\r\nAuthorization: Basic Og==\r\n\r\n").status, 200);
    EXPECT_EQ(ask(s, "GET /x HTTP/1.1\r\nAuthorization: Basic \r\n\r\n").status, 401);
}

// Connection threads that finish park and take the next accepted connection.
class ThreadReuseTest : public ServerTest {
protected:
    // Polls a count the server changes on its own threads; fails the test
    // instead of hanging it.
    template <typename Get>
    static bool reaches(Get get, std::size_t wanted) {
        for (int i = 0; i < 20000; ++i) {
            if (get() == wanted) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
    bool parkedReaches(std::size_t wanted) {
        return reaches([this] { return server_->parkedThreadCount(); }, wanted);
    }
};

TEST_F(ThreadReuseTest, SequentialConnectionsAreServedByOneThread) {
    startServer();
    for (int i = 0; i < 100; ++i) {
        auto s = connect();
        const Answer a = ask(s, "GET /n" + std::to_string(i) + " HTTP/1.1\r\nConnection: close\r\n\r\n");
        ASSERT_EQ(a.body, "routed:n" + std::to_string(i));
        ASSERT_TRUE(test::peerClosed(s));
        ASSERT_TRUE(parkedReaches(1));
    }
    EXPECT_EQ(server_->threadsStarted(), 1u);
    EXPECT_EQ(server_->connectionCount(), 0u);
}

TEST_F(ThreadReuseTest, ReusedThreadServesTheNextClientAfresh) {
    server_->setDispatcher([](HttpRequest& request, HttpResponse& response) {
        std::string text = "routed:" + request.name() + " from " + platform::ipv4ToText(request.peer());
        for (const auto& [key, value] : request.params()) text += " " + key + "=" + value;
        response.setBody(text);
        response.send();
    });
    startServer();
    {
        // Pipelined bytes after the closing request stay with this client.
        auto first = connect("127.0.0.2");
        const Answer a = ask(first, "GET /a?x=1 HTTP/1.1\r\nConnection: close\r\n\r\nGET /leftover HTTP/1.1\r\n\r\n");
        EXPECT_EQ(a.body, "routed:a from 127.0.0.2 x=1");
        EXPECT_TRUE(test::peerClosed(first));
    }
    ASSERT_TRUE(parkedReaches(1));
    auto second = connect("127.0.0.3");
    std::string carry;
    sendText(second, "GET /b HTTP/1.1\r\n\r\n");
    Answer b = test::readAnswer(second, carry);
    EXPECT_EQ(b.body, "routed:b from 127.0.0.3");
    EXPECT_TRUE(carry.empty());
    EXPECT_EQ(server_->parkedThreadCount(), 0u);
    EXPECT_EQ(server_->connectionCount(), 1u);
    sendText(second, "GET /c HTTP/1.1\r\n\r\n");  // still keep-alive, on the same thread
    EXPECT_EQ(test::readAnswer(second, carry).body, "routed:c from 127.0.0.3");
    EXPECT_EQ(server_->threadsStarted(), 1u);
}

TEST_F(ThreadReuseTest, ParkedThreadsAreBoundedAndCapsCountServedConnections) {
    startServer();
    {
        std::vector<platform::Socket> open;
        for (std::size_t i = 0; i < http::kMaxParkedThreads + 8; ++i) {
            open.push_back(connect());
            ASSERT_EQ(ask(open.back(), "GET /x HTTP/1.1\r\n\r\n").status, 200);
        }
    }
    ASSERT_TRUE(parkedReaches(http::kMaxParkedThreads));
    ASSERT_TRUE(reaches([this] { return server_->connectionCount(); }, 0));
    // The per-address cap holds whether a connection gets a parked thread or a new one.
    std::vector<platform::Socket> held;
    for (std::size_t i = 0; i < http::kMaxConnectionsPerAddress; ++i) {
        held.push_back(connect("127.0.0.4"));
        ASSERT_EQ(ask(held.back(), "GET /x HTTP/1.1\r\n\r\n").status, 200);
    }
    EXPECT_EQ(server_->parkedThreadCount(), 0u);
    auto refused = connect("127.0.0.4");
    sendText(refused, "GET /x HTTP/1.1\r\n\r\n");
    EXPECT_FALSE(readAnswer(refused).complete);
    EXPECT_EQ(server_->connectionCount(), http::kMaxConnectionsPerAddress);
    EXPECT_EQ(server_->threadsStarted(), http::kMaxConnectionsPerAddress + 8);
}

TEST_F(ThreadReuseTest, QuitJoinsParkedThreadsAtOnce) {
    startServer();
    {
        std::vector<platform::Socket> open;
        for (int i = 0; i < 8; ++i) {
            open.push_back(connect());
            ASSERT_EQ(ask(open.back(), "GET /x HTTP/1.1\r\n\r\n").status, 200);
        }
    }
    ASSERT_TRUE(parkedReaches(8));
    auto busy = connect();
    ASSERT_EQ(ask(busy, "GET /x HTTP/1.1\r\n\r\n").status, 200);
    // A parked thread left to its time-out would hold the quit that long.
    const auto start = std::chrono::steady_clock::now();
    server_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, http::kParkedThreadWait);
    EXPECT_TRUE(test::peerClosed(busy));
}

TEST_F(ThreadReuseTest, StoppedListenerLetsParkedThreadsEndAndRestartServes) {
    startServer();
    {
        auto s = connect();
        ASSERT_EQ(ask(s, "GET /x HTTP/1.1\r\n\r\n").status, 200);
    }
    ASSERT_TRUE(parkedReaches(1));
    server_->signalStop();
    server_->join();
    EXPECT_TRUE(parkedReaches(0));
    startServer();
    auto s = connect();
    EXPECT_EQ(ask(s, "GET /again HTTP/1.1\r\n\r\n").body, "routed:again");
}

}  // namespace
}  // namespace lyrebox
