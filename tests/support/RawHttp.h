// A raw HTTP client for tests and benchmarks that talk to a server byte by
// byte: socket pairs, loopback clients (from a chosen 127.0.0.x) and a reader
// of one answer at a time. Every client socket carries a receive time-out,
// so a broken server fails a test instead of hanging it; nothing asserts on
// time.
#pragma once

#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

namespace lyrebox::test {

// How long a client waits for the next bytes of an answer.
inline constexpr std::chrono::seconds kReadLimit{20};

std::pair<platform::Socket, platform::Socket> socketPair();

inline void sendText(platform::Socket& socket, const std::string& text) { socket.sendAll(text.data(), text.size()); }

// A client connected from a given loopback address (127.0.0.x) to port,
// waiting up to readLimit for each receive; not valid when nothing listens.
platform::Socket connectFrom(const char* from, std::uint16_t port, std::chrono::seconds readLimit = kReadLimit);
inline platform::Socket connectLoopback(std::uint16_t port) { return connectFrom("127.0.0.1", port); }

struct Answer {
    bool complete = false;  // a whole answer (head, and body by Content-Length) arrived
    std::string head;       // status line and headers, with the final empty line
    std::string body;       // what arrived of it when the answer is not complete
    int status = 0;

    // The value of a header, "" when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const { return head.find("\r\n" + name + ": ") != std::string::npos; }
};
using RawResponse = Answer;

// Reads one answer; without Content-Length the body runs to the close.
// Bytes beyond the answer are kept in carry for the next call.
Answer readAnswer(platform::Socket& socket, std::string& carry);
inline Answer readAnswer(platform::Socket& socket) {
    std::string carry;
    return readAnswer(socket, carry);
}

// Sends one raw request on a new loopback connection and reads its answer
// (an empty one when nothing listens).
Answer fetch(std::uint16_t port, const std::string& rawRequest, std::chrono::seconds readLimit = kReadLimit);
// A GET with the given header lines, closing the connection after the answer.
inline std::string getRequest(const std::string& target, const std::string& headers = "Host: localhost\r\n") {
    return "GET " + target + " HTTP/1.1\r\n" + headers + "Connection: close\r\n\r\n";
}

// One keep-alive connection sending GETs one after another; a failed
// request closes it and the next one opens a new one.
class KeepAliveClient {
public:
    explicit KeepAliveClient(std::uint16_t port) : port_(port) {}
    // False when no complete answer arrived.
    bool request(const std::string& target, Answer& answer);

private:
    std::uint16_t port_;
    platform::Socket socket_;
    std::string carry_;
};

// True when the peer has closed: the next receive reports the end (or a reset).
bool peerClosed(platform::Socket& socket);

}  // namespace lyrebox::test
