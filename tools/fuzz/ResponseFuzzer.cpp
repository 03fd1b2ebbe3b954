// Feeds arbitrary bytes to HttpResponse::read through a socket pair, as a
// remote server would answer the one outgoing request (remote play lists),
// and checks what the reader promises: the status stays in range and the
// body never exceeds the announced length or the body limit.
#include "http/HttpLimits.h"
#include "http/HttpParse.h"
#include "http/HttpResponse.h"
#include "platform/DecimalText.h"
#include "platform/Socket.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The whole input must fit the pair's buffer, since one thread writes and reads.
    if (size > 60000) return 0;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
    platform::Socket server(fds[0]), client(fds[1]);
    int buffer = 1 << 20;
    ::setsockopt(server.fd(), SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    if (server.sendAll(data, size) != size) return 0;
    server.shutdownWrite();

    lyrebox::HttpResponse response;
    if (!response.read(client)) return 0;

    if (response.status() < -1 || response.status() > 999) std::abort();
    const std::int64_t announced =
        std::max<std::int64_t>(0, platform::parseDecimalPrefix<std::int64_t>(response.header("Content-Length")));
    if (response.body().size() > lyrebox::http::kMaxResponseBodySize) std::abort();
    if (static_cast<std::int64_t>(response.body().size()) > announced) std::abort();
    if (response.body().size() > size) std::abort();
    for (const auto& [name, value] : response.headers()) {
        if (name.find("\r\n") != std::string::npos || value.find("\r\n") != std::string::npos) std::abort();
    }
    return 0;
}
