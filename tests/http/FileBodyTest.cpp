// Answers whose shared body is also in a sealed memory file: the file keeps
// its bytes, and the answer on the wire is the same as from the buffer,
// over partial sends to a slow reader, and when sendfile refuses the file.
#include "http/HttpLimits.h"
#include "http/HttpResponse.h"
#include "platform/SealedMemoryFile.h"
#include "tests/support/RawHttp.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>

namespace lyrebox {
namespace {

using namespace std::chrono_literals;

std::string patterned(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('!' + (i * 7 + i / 251) % 90);
    return text;
}

std::shared_ptr<const platform::SealedMemoryFile> sealed(const std::string& text) {
    auto file = platform::SealedMemoryFile::create(text);
    return file ? std::make_shared<const platform::SealedMemoryFile>(std::move(*file)) : nullptr;
}

std::string expectedAnswer(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: text/html\r\n\r\n" + body;
}

// A connected loopback TCP pair: the sender's and the reader's end.
std::pair<platform::Socket, platform::Socket> tcpPair(int bufferSize = 0) {
    platform::Socket listener = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    platform::Socket reader = platform::Socket::connectTcp("127.0.0.1", listener.localPort(), 5s);
    pollfd ready{listener.fd(), POLLIN, 0};
    ::poll(&ready, 1, 5000);
    std::uint32_t peer = 0;
    int error = 0;
    platform::Socket sender = listener.accept(peer, error);
    if (bufferSize > 0) {
        ::setsockopt(sender.fd(), SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);
        ::setsockopt(reader.fd(), SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    }
    reader.setRecvTimeout(test::kReadLimit);
    return {std::move(sender), std::move(reader)};
}

// Reads until the sender closes, a little at a time with pauses when slow,
// so that the sender's buffer fills and every send stops part way.
std::string readAll(platform::Socket& socket, bool slow) {
    std::string all;
    char buf[65536];
    const std::size_t piece = slow ? 1500 : sizeof buf;
    long n;
    int reads = 0;
    while ((n = socket.recvSome(buf, piece)) > 0) {
        all.append(buf, static_cast<std::size_t>(n));
        if (slow && ++reads % 16 == 0) std::this_thread::sleep_for(1ms);
    }
    return all;
}

// Sends the answer to a reader on another thread and returns what it read.
// With slow, the reader takes a little at a time and the sending thread is
// interrupted by a signal over and over, so that a blocked send returns
// part way and the rest must follow from where it stopped.
std::string sentOver(HttpResponse& response, std::pair<platform::Socket, platform::Socket> pair, bool slow,
                     std::size_t* count = nullptr) {
    auto& [sender, reader] = pair;
    std::string got;
    std::thread reading([&, &reader = reader] { got = readAll(reader, slow); });
    struct sigaction interrupt {};
    interrupt.sa_handler = [](int) {};
    sigemptyset(&interrupt.sa_mask);
    interrupt.sa_flags = 0;  // no SA_RESTART: a blocked send returns what it has sent
    struct sigaction previous {};
    ::sigaction(SIGUSR1, &interrupt, &previous);
    std::atomic<bool> done{false};
    const pthread_t sending = ::pthread_self();
    std::thread poking([&] {
        while (slow && !done) {
            ::pthread_kill(sending, SIGUSR1);
            std::this_thread::sleep_for(300us);
        }
    });
    response.setSocket(&sender);
    const std::size_t sent = response.send();
    done = true;
    poking.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    if (count) *count = sent;
    sender.close();
    reading.join();
    return got;
}

TEST(SealedMemoryFile, HoldsTheBytesAndRefusesEveryChange) {
    const std::string text = patterned(100000);
    auto file = platform::SealedMemoryFile::create(text);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), text.size());
    EXPECT_NE(::fcntl(file->fd(), F_GETFD) & FD_CLOEXEC, 0);
    std::string back(text.size() + 10, '\0');
    EXPECT_EQ(::pread(file->fd(), back.data(), back.size(), 0), static_cast<ssize_t>(text.size()));
    back.resize(text.size());
    EXPECT_TRUE(back == text);

    EXPECT_LT(::pwrite(file->fd(), "x", 1, 0), 0);               // no writing over
    EXPECT_LT(::pwrite(file->fd(), "x", 1, 100000), 0);          // nor growing
    EXPECT_NE(::ftruncate(file->fd(), 10), 0);                    // nor shrinking
    EXPECT_NE(::fcntl(file->fd(), F_ADD_SEALS, 0), 0);            // and the seals stay
    EXPECT_TRUE(platform::SealedMemoryFile::create("") && platform::SealedMemoryFile::create("")->size() == 0);

    platform::SealedMemoryFile::setUnavailableForTests(true);
    EXPECT_FALSE(platform::SealedMemoryFile::create(text));
    platform::SealedMemoryFile::setUnavailableForTests(false);
}

// From the file, the bytes are those from the buffer, at sizes around the
// point where the file is used and across partial sends to a slow reader
// with small socket buffers.
TEST(FileBody, IsSentWholeAndByteExactAcrossPartialSends) {
    for (const std::size_t size : {http::kFileBodySize - 1, http::kFileBodySize, std::size_t{174620}, std::size_t{3 << 20}}) {
        for (const bool slow : {false, true}) {
            const auto text = std::make_shared<const std::string>(patterned(size));
            auto file = sealed(*text);
            ASSERT_TRUE(file);
            HttpResponse r;
            r.setSharedBody(text, file);
            std::size_t count = 0;
            const std::string got = sentOver(r, tcpPair(slow ? 16384 : 0), slow, &count);
            const std::string expected = expectedAnswer(*text);
            EXPECT_EQ(count, expected.size()) << size << (slow ? " slow" : "");
            EXPECT_TRUE(got == expected) << size << (slow ? " slow" : "") << ": " << got.size() << " bytes";
        }
    }
    // A file that does not hold the body's bytes is not used.
    const auto text = std::make_shared<const std::string>(patterned(50000));
    HttpResponse r;
    r.setSharedBody(text, sealed(patterned(50001)));
    EXPECT_TRUE(sentOver(r, tcpPair(), false) == expectedAnswer(*text));
}

// sendfile refuses a directory (EINVAL) as it would a file system without
// page reads: the body then goes from the buffer, whole.
TEST(FileBody, FallsBackToTheBufferWhenSendfileRefusesTheFile) {
    const int directory = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(directory, 0);
    const auto text = std::make_shared<const std::string>(patterned(200000));
    auto refused = std::make_shared<const platform::SealedMemoryFile>(
        platform::SealedMemoryFile::adoptForTests(directory, text->size()));
    for (const bool slow : {false, true}) {
        HttpResponse r;
        r.setSharedBody(text, refused);
        std::size_t count = 0;
        const std::string got = sentOver(r, tcpPair(slow ? 16384 : 0), slow, &count);
        EXPECT_EQ(count, expectedAnswer(*text).size());
        EXPECT_TRUE(got == expectedAnswer(*text)) << got.size() << " bytes";
    }
}

// A reader that goes away, or one that stops reading while the server shuts
// its connections, ends the send short, without a signal and without the
// buffer's copy being sent after it.
TEST(FileBody, AConnectionThatFailsEndsTheSendShort) {
    const auto text = std::make_shared<const std::string>(patterned(1 << 20));
    auto file = sealed(*text);
    ASSERT_TRUE(file);
    const std::size_t whole = expectedAnswer(*text).size();
    {
        auto [sender, reader] = tcpPair(4096);
        reader.close();
        HttpResponse r(&sender);
        r.setSharedBody(text, file);
        EXPECT_LT(r.send(), whole);
    }
    auto [sender, reader] = tcpPair(4096);
    HttpResponse r(&sender);
    r.setSharedBody(text, file);
    std::thread stopping([&sender = sender] {
        std::this_thread::sleep_for(100ms);
        sender.shutdownBoth();
    });
    EXPECT_LT(r.send(), whole);
    stopping.join();
}

}  // namespace
}  // namespace lyrebox
