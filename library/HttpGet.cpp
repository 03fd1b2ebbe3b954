#include "library/HttpGet.h"

#include "library/LibraryLimits.h"

#include "http/HttpLimits.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "platform/Socket.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace lyrebox {

namespace {

// Ends the connection when the whole exchange has not finished in time: a
// server that trickles bytes would otherwise keep every single receive alive.
class ExchangeDeadline {
public:
    ExchangeDeadline(platform::Socket& socket, std::chrono::milliseconds limit) {
        try {
            watcher_ = std::thread([this, &socket, limit] {
                std::unique_lock lock(mutex_);
                if (!done_.wait_for(lock, limit, [this] { return finished_; })) socket.shutdownBoth();
            });
        } catch (const std::system_error&) {
            // No watcher thread: each receive is still bounded by the socket's time-out.
        }
    }
    ~ExchangeDeadline() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        if (watcher_.joinable()) watcher_.join();
    }
    ExchangeDeadline(const ExchangeDeadline&) = delete;
    ExchangeDeadline& operator=(const ExchangeDeadline&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread watcher_;
};

}  // namespace

bool httpGet(const std::string& url, HttpResponse& response, const FetchLimits& fetchLimits) {
    const auto parsed = parseHttpUrl(url);
    if (!parsed) return false;
    const auto started = std::chrono::steady_clock::now();
    platform::Socket socket = platform::Socket::connectTcp(parsed->host, parsed->port, fetchLimits.connect);
    if (!socket.valid()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        fetchLimits.total - (std::chrono::steady_clock::now() - started));
    if (left.count() <= 0) return false;
    socket.setRecvTimeout(left);
    ExchangeDeadline deadline(socket, left);

    HttpRequest request;
    request.setMethod(HttpMethod::Get);
    request.setPath(parsed->path);
    request.setQuery(parsed->query);
    request.setHeader("Host", parsed->hostPart);
    request.setHeader("Connection", "close");
    if (request.send(socket) == 0) return false;
    static_assert(http::kMaxResponseBodySize <= limits::kRemoteMaxResponseBytes);
    return response.read(socket);
}

}  // namespace lyrebox
