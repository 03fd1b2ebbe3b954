#include "tests/support/RawHttp.h"

#include <sys/socket.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>

namespace lyrebox::test {

namespace {
// Appends what one receive brings; false at the end, an error or the time-out.
bool receiveMore(platform::Socket& socket, std::string& data) {
    char buffer[65536];
    const long n = socket.recvSome(buffer, sizeof buffer);
    if (n <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(n));
    return true;
}
}  // namespace

std::pair<platform::Socket, platform::Socket> socketPair() {
    int fds[2] = {-1, -1};
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
    return {platform::Socket(fds[0]), platform::Socket(fds[1])};
}

platform::Socket connectFrom(const char* from, std::uint16_t port, std::chrono::seconds readLimit) {
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
    s.setRecvTimeout(readLimit);
    return s;
}

std::string Answer::header(const std::string& name) const {
    const std::string key = "\r\n" + name + ": ";
    auto pos = head.find(key);
    if (pos == std::string::npos) return "";
    pos += key.size();
    return head.substr(pos, head.find("\r\n", pos) - pos);
}

Answer readAnswer(platform::Socket& socket, std::string& carry) {
    Answer answer;
    std::string data = std::move(carry);
    carry.clear();
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (!receiveMore(socket, data)) return answer;
    }
    answer.head = data.substr(0, headEnd + 4);
    answer.status = std::atoi(answer.head.c_str() + answer.head.find(' ') + 1);
    answer.body = data.substr(headEnd + 4);
    if (answer.status == 304) {
        carry = std::exchange(answer.body, {});
    } else if (answer.hasHeader("Content-Length")) {
        const std::string text = answer.header("Content-Length");
        std::size_t length = 0;
        if (std::from_chars(text.data(), text.data() + text.size(), length).ec != std::errc()) return answer;
        while (answer.body.size() < length) {
            if (!receiveMore(socket, answer.body)) return answer;
        }
        carry = answer.body.substr(length);
        answer.body.resize(length);
    } else {
        while (receiveMore(socket, answer.body)) {
        }
    }
    answer.complete = true;
    return answer;
}

Answer fetch(std::uint16_t port, const std::string& rawRequest, std::chrono::seconds readLimit) {
    platform::Socket socket = connectFrom("127.0.0.1", port, readLimit);
    if (!socket.valid()) return {};
    sendText(socket, rawRequest);
    return readAnswer(socket);
}

bool KeepAliveClient::request(const std::string& target, Answer& answer) {
    if (!socket_.valid()) {
        socket_ = connectLoopback(port_);
        carry_.clear();
        if (!socket_.valid()) return false;
    }
    const std::string text = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (socket_.sendAll(text.data(), text.size()) != text.size()) {
        socket_.close();
        return false;
    }
    answer = readAnswer(socket_, carry_);
    if (!answer.complete) socket_.close();
    return answer.complete;
}

bool peerClosed(platform::Socket& socket) {
    char c;
    const long n = socket.recvSome(&c, 1);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

}  // namespace lyrebox::test
