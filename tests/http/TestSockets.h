// Socket helpers for the HTTP tests: socket pairs, loopback clients and a
// minimal answer reader. Receives carry a generous time-out so a broken
// server fails a test instead of hanging it; nothing asserts on time.
#pragma once

#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>

namespace lyrebox::test {

inline std::pair<platform::Socket, platform::Socket> socketPair() {
    int fds[2] = {-1, -1};
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
    return {platform::Socket(fds[0]), platform::Socket(fds[1])};
}

inline void sendText(platform::Socket& socket, const std::string& text) { socket.sendAll(text.data(), text.size()); }

// A client connected from a given loopback address (127.0.0.x) to port.
inline platform::Socket connectFrom(const char* from, std::uint16_t port) {
    platform::Socket s(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    if (::bind(s.fd(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return platform::Socket();
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    if (::connect(s.fd(), reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) return platform::Socket();
    s.setRecvTimeout(std::chrono::seconds(20));
    return s;
}

inline platform::Socket connectLoopback(std::uint16_t port) { return connectFrom("127.0.0.1", port); }

struct Answer {
    bool complete = false;  // a whole answer (head, and body by Content-Length) arrived
    std::string head;       // status line and headers, with the final empty line
    std::string body;
    int status = 0;
    std::string header(const std::string& name) const {
        std::string key = "\r\n" + name + ": ";
        auto pos = head.find(key);
        if (pos == std::string::npos) return "";
        pos += key.size();
        return head.substr(pos, head.find("\r\n", pos) - pos);
    }
    bool hasHeader(const std::string& name) const { return head.find("\r\n" + name + ": ") != std::string::npos; }
};

// Reads one answer; without Content-Length the body runs to the close.
// Bytes beyond the answer are kept in carry for the next call.
inline Answer readAnswer(platform::Socket& socket, std::string& carry) {
    Answer answer;
    std::string data = std::move(carry);
    carry.clear();
    char buf[65536];
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        long n = socket.recvSome(buf, sizeof buf);
        if (n <= 0) return answer;
        data.append(buf, static_cast<std::size_t>(n));
    }
    answer.head = data.substr(0, headEnd + 4);
    answer.status = std::atoi(answer.head.c_str() + answer.head.find(' ') + 1);
    std::string rest = data.substr(headEnd + 4);
    if (answer.status == 304) {
        carry = rest;
    } else if (answer.hasHeader("Content-Length")) {
        std::size_t length = std::stoul(answer.header("Content-Length"));
        while (rest.size() < length) {
            long n = socket.recvSome(buf, sizeof buf);
            if (n <= 0) return answer;
            rest.append(buf, static_cast<std::size_t>(n));
        }
        answer.body = rest.substr(0, length);
        carry = rest.substr(length);
    } else {
        for (;;) {
            long n = socket.recvSome(buf, sizeof buf);
            if (n <= 0) break;
            rest.append(buf, static_cast<std::size_t>(n));
        }
        answer.body = rest;
    }
    answer.complete = true;
    return answer;
}

inline Answer readAnswer(platform::Socket& socket) {
    std::string carry;
    return readAnswer(socket, carry);
}

// True when the peer has closed: the next receive reports the end (or a reset).
inline bool peerClosed(platform::Socket& socket) {
    char c;
    long n = socket.recvSome(&c, 1);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

}  // namespace lyrebox::test
