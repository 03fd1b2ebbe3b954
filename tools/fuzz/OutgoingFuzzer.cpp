// The outgoing request: arbitrary bytes as the URL of another server's list
// (parsed and turned into the GET that would be sent), or as the parts of a
// request set directly, and what the writer sends checked line by line. The
// invariant: nothing a client chose ends a line or a field. What is sent is
// either nothing, or a request line with exactly two blanks, one line per
// header, the empty line, and no CR or LF anywhere else.
#include "http/HttpClient.h"
#include "http/HttpRequest.h"
#include "platform/Socket.h"

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void checkHead(const std::string& head, std::size_t headerCount) {
    if (head.empty()) return;
    if (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) std::abort();
    std::size_t lines = 0;
    std::size_t start = 0;
    for (;;) {
        const auto end = head.find("\r\n", start);
        if (end == std::string::npos) break;
        const std::string_view line(head.data() + start, end - start);
        if (line.find('\r') != std::string_view::npos || line.find('\n') != std::string_view::npos) std::abort();
        if (lines == 0) {
            std::size_t blanks = 0;
            for (char c : line) blanks += c == ' ' ? 1 : 0;
            if (blanks != 2) std::abort();
        } else if (!line.empty() && line.find(": ") == std::string_view::npos) {
            std::abort();
        }
        ++lines;
        start = end + 2;
    }
    if (start != head.size() || lines != headerCount + 2) std::abort();
}

// send() writes what outgoingHead() promises, or nothing at all.
void checkSent(const lyrebox::HttpRequest& request) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return;
    platform::Socket writer(fds[0]), reader(fds[1]);
    int buffer = 1 << 20;
    ::setsockopt(writer.fd(), SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    const std::string head = request.outgoingHead();
    checkHead(head, request.headers().size());
    const std::size_t sent = request.send(writer);
    if (sent != (head.empty() ? 0 : head.size() + request.body().size())) std::abort();
    writer.close();
    std::string got(sent + 1, '\0');
    std::size_t fill = 0;
    for (;;) {
        const long n = reader.recvSome(got.data() + fill, got.size() - fill);
        if (n <= 0) break;
        fill += static_cast<std::size_t>(n);
    }
    if (fill != sent || got.compare(0, head.size(), head) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 16384) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    lyrebox::HttpRequest request;
    if (data[0] & 1) {
        // The parts themselves, NUL-separated: path, query, header name, header value.
        std::string parts[4];
        std::size_t at = 0;
        for (auto& part : parts) {
            const auto end = text.find('\0', at);
            part = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
            if (end == std::string::npos) break;
            at = end + 1;
        }
        request.setPath(parts[0]);
        request.setQuery(parts[1]);
        request.setHeader(parts[2], parts[3]);
    } else {
        const auto url = lyrebox::parseHttpUrl(text);
        if (!url) return 0;
        for (char c : url->host) {
            if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) std::abort();
        }
        lyrebox::buildGetRequest(*url, request);
    }
    checkSent(request);
    return 0;
}
