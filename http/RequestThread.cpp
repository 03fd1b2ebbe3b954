#include "http/RequestThread.h"

#include "http/HttpLimits.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Server.h"

#include <string>

namespace lyrebox {

using namespace std::chrono;

RequestThread::RequestThread(platform::Socket socket, Server& server, std::uint32_t peer)
    : Thread(http::kConnectionStackSize), socket_(std::move(socket)), server_(server), peer_(peer) {}

RequestThread::~RequestThread() { join(); }

int RequestThread::run() {
    do {
        try {
            serve();
        } catch (...) {
            // An allocation failure ends this connection, not the process.
        }
    } while (server_.connectionEnded(this));
    return 0;
}

bool RequestThread::waitForHandOverLocked(std::unique_lock<std::mutex>& lock, milliseconds wait) {
    handedOver_ = false;
    woken_ = false;
    wake_.wait_for(lock, wait, [this] { return handedOver_ || woken_; });
    return handedOver_;
}

void RequestThread::handOverLocked(platform::Socket socket, std::uint32_t peer) {
    socket_ = std::move(socket);
    peer_ = peer;
    handedOver_ = true;
    wake_.notify_one();
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
        // Every answer, errors included: a browser must never guess a type.
        response.setHeader("X-Content-Type-Options", "nosniff");
        if (request.status() == 0) screen(request, response);
        else if (request.status() != 500 && server_.access_.requirePassword())
            authenticate(request, response, server_.access_);
        const bool clientCloses = request.header("Connection") == "close";
        const int status = request.status();
        if (clientCloses || status == 500 || status == 401 || status == 413 || status == 421 || status == 429 ||
            status == 431)
            response.setHeader("Connection", "close");
        answer(request, response);
        if (clientCloses || request.status() != 0) {
            if (status == 413 || status == 431) lingeringClose();
            return;
        }
    }
}

namespace {

void refuse(HttpRequest& request, HttpResponse& response, int status, const char* reason, const char* text) {
    request.setStatus(status, reason);
    response.setHeader("Content-Type", kPlainTextType);
    response.setBody(text);
}

// Wrong credentials count as a guess; a request that carries none (a
// browser's first request, before it asks the user) does not.
bool carriesCredentials(const HttpRequest& request) {
    return !request.header("Authorization").empty() || !request.param("auth").empty();
}

}  // namespace

void RequestThread::screen(HttpRequest& request, HttpResponse& response) {
    if (!server_.hosts_.admits(findHeader(request.headers(), "Host"))) {
        refuse(request, response, 421, "Misdirected Request",
               "This server does not answer to that host name (see the Server Names setting).\n");
        return;
    }
    if (!server_.access_.requirePassword()) return;
    if (const auto wait = server_.loginThrottle_.lockedOutFor(peer_); wait.count() > 0) {
        response.setHeader("Retry-After", std::to_string(wait.count()));
        refuse(request, response, 429, "Too Many Requests", "Too many failed logins from this address; try later.\n");
        return;
    }
    if (!authenticate(request, response, server_.access_) && carriesCredentials(request))
        server_.loginThrottle_.recordFailure(peer_);
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
    request.setName(path.substr(std::min(path.find_first_not_of('/'), path.size())));
    if (request.name() == "info") {
        std::string dump;
        request.appendHtmlDump(dump);
        response.setBody(std::move(dump));
        response.send();
        return;
    }
    if (server_.dispatcher_) {
        server_.dispatcher_(request, response);
        return;
    }
    response.sendStatusPage(404, "Not found", "Not Found");
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
