#include "http/RequestThread.h"

#include "http/HttpLimits.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Server.h"

#include <sstream>

namespace lyrebox {

using namespace std::chrono;

RequestThread::RequestThread(platform::Socket socket, Server& server, std::uint32_t peer)
    : Thread(http::kConnectionStackSize), socket_(std::move(socket)), server_(server), peer_(peer) {}

RequestThread::~RequestThread() { join(); }

int RequestThread::run() {
    try {
        serve();
    } catch (...) {
        // An allocation failure ends this connection, not the process.
    }
    server_.connectionEnded(this);
    return 0;
}

void RequestThread::serve() {
    // Small answers leave in one write anyway; this covers handlers that
    // send a head and then a body.
    socket_.setNoDelay(true);
    HttpRequest request;
    request.setPeer(peer_);
    request.setTimeouts(milliseconds(server_.idleTimeout_.load()), milliseconds(server_.headTimeout_.load()));
    for (;;) {
        request.read(socket_);
        if (request.status() == -1) return;
        HttpResponse response(&socket_);
        if (request.status() != 500 && server_.access_.requirePassword())
            authenticate(request, response, server_.access_);
        const bool clientCloses = request.header("Connection") == "close";
        const int status = request.status();
        if (clientCloses || status == 500 || status == 401 || status == 413 || status == 431)
            response.setHeader("Connection", "close");
        answer(request, response);
        if (clientCloses || request.status() != 0) {
            if (status == 413 || status == 431) lingeringClose();
            return;
        }
    }
}

void RequestThread::answer(HttpRequest& request, HttpResponse& response) {
    if (request.status() != 0) {
        response.setStatus(request.status(), request.reason());
        response.send();
        return;
    }
    if (!request.header("If-Modified-Since").empty()) {
        response.setStatus(304, "Not Modified");
        response.send();
        return;
    }
    const std::string& path = request.path();
    std::string name = path.substr(std::min(path.find_first_not_of('/'), path.size()));
    if (name == "info") {
        std::ostringstream dump;
        request.writeHtmlDump(dump);
        response.setBody(dump.str());
        response.send();
        return;
    }
    if (server_.dispatcher_) {
        server_.dispatcher_(request, name, request.params(), response);
        return;
    }
    response.setStatus(404, "Not found");
    response.setBody("<h1>404 Not Found</h1>");
    response.send();
}

void RequestThread::lingeringClose() {
    socket_.shutdownWrite();  // the answer is complete
    socket_.setRecvTimeout(milliseconds(1000));
    char scrap[8192];
    std::size_t drained = 0;
    while (drained < 4 * http::kMaxBodySize) {
        long n = socket_.recvSome(scrap, sizeof scrap);
        if (n <= 0) break;
        drained += static_cast<std::size_t>(n);
    }
}

}  // namespace lyrebox
