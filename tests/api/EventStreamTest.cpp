// The event stream and the remote's JSON documents over real sockets, against
// a recording player: one sampler that runs only while somebody listens,
// events after commands and after changes at the player, playlist.xml's
// per-id tracking untouched by the sampler, and a prompt end at quit.
#include "tests/support/CheckedServer.h"
#include "tests/support/FakePlayer.h"
#include "api/EventHub.h"
#include "api/RemoteHandlers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace lyrebox {
namespace {

using test::CheckedServer;
using test::FakePlayer;
using namespace std::chrono_literals;

// Waits for a condition that another thread makes true; the deadline only
// turns a hang into a failure.
template <typename Condition>
bool eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// One open "events" stream: reads the head, then one event at a time.
class EventClient {
public:
    explicit EventClient(std::uint16_t port)
        : socket_(platform::Socket::connectTcp("127.0.0.1", port, 10s)) {
        socket_.setRecvTimeout(30s);
        const std::string request = "GET /events HTTP/1.1\r\nHost: localhost\r\n\r\n";
        socket_.sendAll(request.data(), request.size());
        const auto end = readUntil("\r\n\r\n");
        if (end != std::string::npos) {
            head = buffer_.substr(0, end + 4);
            buffer_.erase(0, end + 4);
        }
    }

    // The next block up to an empty line ("" when the stream ended).
    std::string nextBlock() {
        const auto end = readUntil("\n\n");
        if (end == std::string::npos) return {};
        std::string block = buffer_.substr(0, end + 2);
        buffer_.erase(0, end + 2);
        return block;
    }
    // The data of the next event of this name, skipping others.
    std::string nextEvent(const std::string& name) {
        for (;;) {
            const std::string block = nextBlock();
            if (block.empty()) return {};
            const std::string prefix = "event: " + name + "\ndata: ";
            if (block.compare(0, prefix.size(), prefix) == 0) return block.substr(prefix.size(), block.size() - prefix.size() - 2);
        }
    }
    // True when the server has ended the stream (EOF).
    bool ended() {
        char byte;
        for (;;) {
            const long n = socket_.recvSome(&byte, 1);
            if (n <= 0) return n == 0;
        }
    }
    void close() { socket_.close(); }
    void send(const std::string& bytes) { socket_.sendAll(bytes.data(), bytes.size()); }

    std::string head;

private:
    std::size_t readUntil(const std::string& marker) {
        char chunk[4096];
        for (;;) {
            const auto at = buffer_.find(marker);
            if (at != std::string::npos) return at;
            const long n = socket_.recvSome(chunk, sizeof chunk);
            if (n <= 0) return std::string::npos;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    platform::Socket socket_;
    std::string buffer_;
};

std::size_t countOf(const std::vector<test::Message>& log, platform::LPARAM operation) {
    std::size_t n = 0;
    for (const auto& m : log) n += (!m.editor && m.message == platform::WM_USER && m.lParam == operation) ? 1 : 0;
    return n;
}

// Parameter: whether the gateway relays its batches to the player's thread,
// as the plugin does.
class EventStreamTest : public ::testing::TestWithParam<bool> {
protected:
    FakePlayer player;
    std::unique_ptr<CheckedServer> server = std::make_unique<CheckedServer>(player.mainWindow(), relay());

    CheckedServer::OnPlayerThread relay() {
        if (!GetParam()) return {};
        return [this](const std::function<void()>& fn) { player.with([&](FakePlayer&) { fn(); }); };
    }
    void SetUp() override {
        ASSERT_TRUE(server->started());
        player.setEntries({{"/m/0.mp3", "zero"}, {"/m/1.mp3", "one"}}, 0);
    }
    EventHub& hub() { return server->router().remote().events; }
    std::uint16_t port() { return server->port(); }
};

TEST_P(EventStreamTest, AnswersAnEventStreamWithTheCurrentStateFirst) {
    EventClient client(port());
    EXPECT_NE(client.head.find("HTTP/1.1 200 OK\r\n"), std::string::npos);
    EXPECT_NE(client.head.find("\r\nContent-Type: text/event-stream\r\n"), std::string::npos);
    EXPECT_NE(client.head.find("\r\nConnection: close\r\n"), std::string::npos);
    EXPECT_EQ(client.head.find("Content-Length"), std::string::npos);
    EXPECT_EQ(client.nextBlock(), "retry: 2000\n\n");
    const std::string status = client.nextEvent("status");
    EXPECT_NE(status.find("\"state\":\"stopped\",\"index\":0,\"length\":2,\"volume\":100"), std::string::npos) << status;
    EXPECT_NE(client.nextEvent("playlist").find("\"length\":2}"), std::string::npos);
}

TEST_P(EventStreamTest, SamplerRunsOnlyWhileSomebodyListens) {
    EXPECT_FALSE(hub().isSampling());
    auto first = std::make_unique<EventClient>(port());
    ASSERT_FALSE(first->nextEvent("status").empty());
    EXPECT_TRUE(hub().isSampling());
    auto second = std::make_unique<EventClient>(port());
    ASSERT_FALSE(second->nextEvent("status").empty()) << "a later listener gets the current state too";
    ASSERT_TRUE(eventually([&] { return hub().listenerCount() == 2; }));

    first.reset();
    ASSERT_TRUE(eventually([&] { return hub().listenerCount() == 1; }));
    EXPECT_TRUE(hub().isSampling()) << "one listener is left";

    second.reset();
    ASSERT_TRUE(eventually([&] { return hub().listenerCount() == 0; }));
    hub().waitSamplerStopped();
    EXPECT_FALSE(hub().isSampling());
    const std::uint64_t samples = hub().samplesTaken();
    player.takeLog();
    // Commands that would wake a sampler, and a round trip to the player
    // after them: nothing asks the player for its play state (only the
    // sampler does).
    EXPECT_EQ(server->body("/setvolume?level=9"), "1");
    EXPECT_EQ(server->body("/next"), "1");
    EXPECT_EQ(server->body("/getvolume"), "9");
    EXPECT_EQ(countOf(player.takeLog(), ipc::kIsPlaying), 0u);
    EXPECT_EQ(hub().samplesTaken(), samples);

    EventClient again(port());
    EXPECT_NE(again.nextEvent("status").find("\"volume\":9"), std::string::npos) << "a new run starts afresh";
}

TEST_P(EventStreamTest, ACommandsChangeArrivesAsAnEvent) {
    EventClient client(port());
    ASSERT_FALSE(client.nextEvent("status").empty());
    const std::string firstList = client.nextEvent("playlist");

    EXPECT_EQ(server->body("/setvolume?level=77"), "1");
    EXPECT_NE(client.nextEvent("status").find("\"volume\":77"), std::string::npos);
    EXPECT_EQ(server->body("/play"), "1");
    EXPECT_NE(client.nextEvent("status").find("\"state\":\"playing\""), std::string::npos);
    EXPECT_EQ(server->body("/pause"), "1");
    EXPECT_NE(client.nextEvent("status").find("\"state\":\"paused\""), std::string::npos);

    EXPECT_EQ(server->body("/deleteplaylistitem?index=1"), "1");
    const std::string list = client.nextEvent("playlist");
    EXPECT_NE(list.find("\"length\":1}"), std::string::npos) << list;
    EXPECT_NE(list, firstList);
}

TEST_P(EventStreamTest, AChangeAtThePlayerItselfArrivesToo) {
    EventClient client(port());
    ASSERT_FALSE(client.nextEvent("status").empty());
    player.with([](FakePlayer& p) { p.shuffle = true; });
    EXPECT_NE(client.nextEvent("status").find("\"shuffle\":true"), std::string::npos);
}

TEST_P(EventStreamTest, PlaylistXmlStillSeesEveryChangeWhileTheSamplerReadsTheFlag) {
    EventClient client(port());
    const std::string before = client.nextEvent("playlist");
    EXPECT_NE(server->body("/playlist.xml?id=abc").find("dirty=\"1\""), std::string::npos);
    EXPECT_NE(server->body("/playlist.xml?id=abc").find("dirty=\"0\""), std::string::npos);

    // The sampler sees the change first and resets the player's flag.
    player.with([](FakePlayer& p) { p.entries.push_back({"/m/2.mp3", "two"}), p.changed = true; });
    EXPECT_NE(client.nextEvent("playlist"), before);
    EXPECT_NE(server->body("/playlist.xml?id=abc").find("dirty=\"1\""), std::string::npos)
        << "the change must not be lost to the sampler";
    EXPECT_NE(server->body("/playlist.xml?id=abc").find("dirty=\"0\""), std::string::npos);
}

TEST_P(EventStreamTest, JsonDocumentsOverHttp) {
    player.with([](FakePlayer& p) { p.changed = true; });
    const auto status = server->get("/status.json");
    EXPECT_EQ(status.status, 200);
    EXPECT_EQ(status.header("Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(status.body.rfind("{\"state\":\"stopped\",\"index\":0,\"length\":2,", 0), 0u) << status.body;

    const auto list = server->get("/playlist.json");
    EXPECT_EQ(list.header("Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(list.body, "{\"revision\":2,\"playing\":0,\"length\":2,\"entries\":["
                         "{\"index\":0,\"title\":\"zero\",\"filename\":\"/m/0.mp3\",\"path\":\"%2fm%2f0%2emp3\"},"
                         "{\"index\":1,\"title\":\"one\",\"filename\":\"/m/1.mp3\",\"path\":\"%2fm%2f1%2emp3\"}]}");
    EXPECT_EQ(server->body("/playlist.json").rfind("{\"revision\":2,", 0), 0u) << "no change, same revision";
}

TEST_P(EventStreamTest, AReaderThatFallsBehindGetsWholeEventsInOrder) {
    // Big events fill the socket's buffers while the client reads nothing,
    // so the sampler's direct writes stop part-way and the stream's own
    // thread has to finish them.
    const std::string title(1024 * 1024, 't');
    player.setEntries({{"/m/0.mp3", title}}, 0);
    EventClient client(port());
    ASSERT_FALSE(client.nextEvent("status").empty());
    for (int level = 1; level <= 24; ++level) {
        // One sample per change, so every change makes one more big event.
        const std::uint64_t samples = hub().samplesTaken();
        EXPECT_EQ(server->body("/setvolume?level=" + std::to_string(level)), "1");
        ASSERT_TRUE(eventually([&] { return hub().samplesTaken() > samples; }));
    }
    int last = 0;
    while (last < 24) {
        const std::string block = client.nextBlock();
        ASSERT_FALSE(block.empty()) << "the stream ended early";
        if (block.rfind(": ", 0) == 0 || block.rfind("event: playlist\n", 0) == 0) continue;
        ASSERT_EQ(block.rfind("event: status\ndata: {\"state\":", 0), 0u) << block.substr(0, 80);
        ASSERT_EQ(block.substr(block.size() - 3), "}\n\n");
        ASSERT_EQ(block.find("event:", 1), std::string::npos) << "one whole event per block";
        ASSERT_NE(block.find("\"title\":\"" + title + "\""), std::string::npos);
        const auto at = block.find("\"volume\":");
        const int volume = std::atoi(block.c_str() + at + 9);
        EXPECT_GT(volume, last) << "events arrive in order";
        last = volume;
    }
}

TEST_P(EventStreamTest, AClientThatSpeaksEndsItsStream) {
    EventClient client(port());
    ASSERT_FALSE(client.nextEvent("status").empty());
    // The answer has no length, so nothing more can be answered on it.
    client.send("GET /getvolume HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(client.ended());
    EXPECT_TRUE(eventually([&] { return hub().listenerCount() == 0; }));
}

TEST_P(EventStreamTest, AThreadThatServedAStreamServesItsNextConnectionAlone) {
    // Another stream keeps the sampler writing while a stream's thread (and
    // perhaps its descriptor number) goes on to a plain keep-alive client.
    EventClient watcher(port());
    ASSERT_FALSE(watcher.nextEvent("status").empty());
    {
        EventClient ended(port());
        ASSERT_FALSE(ended.nextEvent("status").empty());
        ended.send("GET /getvolume HTTP/1.1\r\n\r\n");
        ASSERT_TRUE(ended.ended());
    }
    ASSERT_TRUE(eventually([&] { return hub().listenerCount() == 1; }));
    platform::Socket socket = platform::Socket::connectTcp("127.0.0.1", port(), 10s);
    socket.setRecvTimeout(30s);
    for (int level : {11, 22, 33}) {
        const std::string request =
            "GET /setvolume?level=" + std::to_string(level) + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
        socket.sendAll(request.data(), request.size());
        const auto answer = test::readAnswer(socket);
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.body, "1");
        EXPECT_NE(watcher.nextEvent("status").find("\"volume\":" + std::to_string(level)), std::string::npos);
    }
    const std::string last = "GET /getvolume HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
    socket.sendAll(last.data(), last.size());
    std::string rest;
    char chunk[4096];
    for (long n; (n = socket.recvSome(chunk, sizeof chunk)) > 0;) rest.append(chunk, static_cast<std::size_t>(n));
    EXPECT_EQ(rest.find("HTTP/1.1 200 OK\r\n"), 0u) << rest;
    EXPECT_EQ(rest.find("event:"), std::string::npos) << rest;
    EXPECT_EQ(rest.substr(rest.size() - 4), "\r\n33") << rest;
}

TEST_P(EventStreamTest, QuitClosesOpenStreamsAtOnce) {
    std::vector<std::unique_ptr<EventClient>> clients;
    for (int i = 0; i < 4; ++i) {
        clients.push_back(std::make_unique<EventClient>(port()));
        ASSERT_FALSE(clients.back()->nextEvent("status").empty());
    }
    // The idle time-out is long; only the quit can end these streams, and
    // the destructor returns only after every connection has ended.
    server.reset();
    for (auto& client : clients) EXPECT_TRUE(client->ended());
}

INSTANTIATE_TEST_SUITE_P(Relay, EventStreamTest, ::testing::Values(false, true));

}  // namespace
}  // namespace lyrebox
