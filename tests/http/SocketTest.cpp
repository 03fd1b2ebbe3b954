// platform::Socket: connecting, sending to a peer that has gone, sendfile.
#include "tests/support/RawHttp.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <thread>
#include <string>

namespace lyrebox {
namespace {

using namespace std::chrono_literals;

TEST(Socket, ConnectResolvesNamesAndFailsCleanly) {
    platform::Socket listener = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    ASSERT_TRUE(listener.valid());
    const std::uint16_t port = listener.localPort();
    platform::Socket byName = platform::Socket::connectTcp("localhost", port, 5s);
    EXPECT_TRUE(byName.valid());
    platform::Socket byAddress = platform::Socket::connectTcp("127.0.0.1", port, 5s);
    EXPECT_TRUE(byAddress.valid());
    listener.close();
    EXPECT_FALSE(platform::Socket::connectTcp("127.0.0.1", port, 5s).valid());
    EXPECT_FALSE(platform::Socket::connectTcp("no-such-host.invalid", 80, 5s).valid());
}

TEST(Socket, SendingToAClosedPeerReturnsShortWithoutSignal) {
    auto [a, b] = test::socketPair();
    b.close();
    // Without MSG_NOSIGNAL this would raise SIGPIPE and end the test process.
    std::string big(1 << 20, 'x');
    EXPECT_LT(a.sendAll(big.data(), big.size()), big.size());
}

TEST(Socket, SendAllDeliversLargeBuffersWhole) {
    auto [a, b] = test::socketPair();
    std::string big(3 << 20, 'y');
    std::string got;
    std::thread reader([&, &b = b] {
        char buf[65536];
        long n;
        while ((n = b.recvSome(buf, sizeof buf)) > 0) got.append(buf, static_cast<std::size_t>(n));
    });
    EXPECT_EQ(a.sendAll(big.data(), big.size()), big.size());
    a.close();
    reader.join();
    EXPECT_EQ(got.size(), big.size());
}

TEST(Socket, TwoPieceSendDeliversBothInOrderAcrossShortWrites) {
    // Pieces larger than the socket's buffer make every send stop part way,
    // in the first piece, at the seam and in the second.
    struct Case {
        std::size_t first, second;
    } cases[] = {{5, 3 << 20}, {(1 << 20) + 7, (2 << 20) + 3}, {3 << 20, 0}, {0, 11}};
    for (const auto& c : cases) {
        auto [a, b] = test::socketPair();
        std::string first(c.first, 'h'), second;
        for (std::size_t i = 0; i < c.second; ++i) second.push_back(static_cast<char>('a' + i % 26));
        std::string got;
        std::thread reader([&, &b = b] {
            char buf[65536];
            long n;
            while ((n = b.recvSome(buf, sizeof buf)) > 0) got.append(buf, static_cast<std::size_t>(n));
        });
        EXPECT_EQ(a.sendAll(first.data(), first.size(), second.data(), second.size()), c.first + c.second);
        a.close();
        reader.join();
        EXPECT_TRUE(got == first + second) << c.first << "+" << c.second;
    }
    auto [a, b] = test::socketPair();
    b.close();
    std::string big(1 << 20, 'x');
    EXPECT_LT(a.sendAll("head", 4, big.data(), big.size()), big.size() + 4);
}

TEST(Socket, SendFileSendsTheRange) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fputs("0123456789", file);
    std::fflush(file);
    auto [a, b] = test::socketPair();
    EXPECT_EQ(a.sendFile(fileno(file), 3, 4), 4);
    EXPECT_EQ(a.sendFile(fileno(file), 8, 10), 2);  // the file ends first
    a.close();
    std::string got(16, '\0');
    std::size_t fill = 0;
    long n;
    while ((n = b.recvSome(got.data() + fill, got.size() - fill)) > 0) fill += static_cast<std::size_t>(n);
    got.resize(fill);
    EXPECT_EQ(got, "345689");
    std::fclose(file);
}

TEST(Socket, SendFileToAClosedPeerReturnsShortWithoutSignal) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::string big(1 << 20, 'z');
    std::fwrite(big.data(), 1, big.size(), file);
    std::fflush(file);
    auto [a, b] = test::socketPair();
    b.close();
    // sendfile has no MSG_NOSIGNAL; a raised SIGPIPE would end the test process.
    EXPECT_LT(a.sendFile(fileno(file), 0, static_cast<std::int64_t>(big.size())), static_cast<std::int64_t>(big.size()));
    std::fclose(file);
}

// The guard around sendfile leaves the thread as it found it: its mask
// unchanged, no SIGPIPE of the failed send left pending, and a SIGPIPE that
// was pending from before (the thread blocks it) still pending.
TEST(Socket, SendFileLeavesTheThreadsSignalsAsTheyWere) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const std::string big(1 << 20, 'z');
    std::fwrite(big.data(), 1, big.size(), file);
    std::fflush(file);
    const auto count = static_cast<std::int64_t>(big.size());
    std::thread([&] {
        sigset_t pipe, mask, pending;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        for (const bool blocked : {false, true}) {
            if (blocked) {
                pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
                pthread_kill(pthread_self(), SIGPIPE);
            }
            auto [a, b] = test::socketPair();
            b.close();
            EXPECT_LT(a.sendFile(fileno(file), 0, count), count);
            pthread_sigmask(SIG_SETMASK, nullptr, &mask);
            EXPECT_EQ(sigismember(&mask, SIGPIPE) == 1, blocked);
            sigemptyset(&pending);
            sigpending(&pending);
            EXPECT_EQ(sigismember(&pending, SIGPIPE) == 1, blocked);
        }
        const timespec noWait{0, 0};
        EXPECT_EQ(sigtimedwait(&pipe, nullptr, &noWait), SIGPIPE);
        pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
    }).join();
    std::fclose(file);
}

}  // namespace
}  // namespace lyrebox
