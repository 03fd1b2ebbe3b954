// Reading one raw HTTP answer off a socket, for tests that talk to the server
// byte by byte.
#pragma once

#include "platform/Socket.h"

#include <cstdlib>
#include <string>

namespace lyrebox::test {

struct RawResponse {
    std::string head;  // status line and headers, up to the empty line
    std::string body;
    int status = 0;

    // The value of a header, "" when absent.
    std::string header(const std::string& name) const {
        const std::string key = "\r\n" + name + ": ";
        const auto at = head.find(key);
        if (at == std::string::npos) return {};
        const auto start = at + key.size();
        return head.substr(start, head.find("\r\n", start) - start);
    }
};

// Reads one answer: the head, then Content-Length bytes (or up to the end).
inline RawResponse readRawResponse(platform::Socket& socket) {
    std::string data;
    char buffer[65536];
    RawResponse response;
    std::size_t headEnd = std::string::npos;
    std::size_t need = std::string::npos;
    for (;;) {
        if (headEnd == std::string::npos) {
            headEnd = data.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                response.head = data.substr(0, headEnd + 2);
                const std::string length = response.header("Content-Length");
                if (!length.empty()) need = headEnd + 4 + std::stoull(length);
            }
        }
        if (need != std::string::npos && data.size() >= need) break;
        const long n = socket.recvSome(buffer, sizeof buffer);
        if (n <= 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    if (headEnd == std::string::npos) return response;
    response.body = data.substr(headEnd + 4, need == std::string::npos ? std::string::npos : need - headEnd - 4);
    if (response.head.size() > 12) response.status = std::atoi(response.head.c_str() + 9);
    return response;
}

}  // namespace lyrebox::test
