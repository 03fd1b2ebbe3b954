// Feeds arbitrary bytes to HttpRequest::read through a socket pair, as a
// client would send them, and reads requests until one fails; then uses
// every parsed field the way the server does.
#include "http/HttpRequest.h"
#include "platform/Socket.h"

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The whole input must fit the pair's buffer, since one thread writes and reads.
    if (size > 60000) return 0;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
    platform::Socket client(fds[0]), server(fds[1]);
    int buffer = 1 << 20;
    ::setsockopt(client.fd(), SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    if (client.sendAll(data, size) != size) return 0;
    client.shutdownWrite();

    lyrebox::HttpRequest request;
    for (int i = 0; i < 1000; ++i) {
        request.read(server);
        std::ostringstream dump;
        request.writeHtmlDump(dump);
        (void)lyrebox::requestHost(request);
        if (request.status() != 0) break;
    }
    return 0;
}
