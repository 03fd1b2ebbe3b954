#include "http/HttpClient.h"

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "platform/DecimalText.h"
#include "platform/Socket.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

namespace lyrebox {

namespace {

constexpr std::string_view kHttpScheme = "http://";

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

std::optional<HttpUrl> parseHttpUrl(const std::string& url) {
    if (!url.starts_with(kHttpScheme)) return std::nullopt;
    const std::string rest = url.substr(kHttpScheme.size());
    const auto slash = rest.find('/');
    if (slash == std::string::npos) return std::nullopt;
    HttpUrl parsed;
    parsed.hostPart = rest.substr(0, slash);
    std::string portText;
    const auto colon = parsed.hostPart.find(':');
    parsed.host = parsed.hostPart.substr(0, colon);
    if (colon != std::string::npos) {
        portText = parsed.hostPart.substr(colon + 1);
        if (portText.empty() || portText.size() > 5) return std::nullopt;
        unsigned port = 0;
        for (char c : portText) {
            if (c < '0' || c > '9') return std::nullopt;
            port = port * 10 + static_cast<unsigned>(c - '0');
        }
        if (port == 0 || port > 65535) return std::nullopt;
        parsed.port = static_cast<std::uint16_t>(port);
    }
    if (parsed.host.empty()) return std::nullopt;
    // The host goes into the "Host" line and the name look-up: nothing that
    // could end a field or a line.
    for (char c : parsed.host) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) return std::nullopt;
    }
    const std::string target = rest.substr(slash);
    const auto question = target.find('?');
    parsed.path = target.substr(0, question);
    if (question != std::string::npos) parsed.query = target.substr(question + 1);
    return parsed;
}

void buildGetRequest(const HttpUrl& url, HttpRequest& request) {
    request.setMethod(HttpMethod::Get);
    request.setPath(url.path);
    request.setQuery(url.query);
    request.setHeader("Host", url.hostPart);
    request.setHeader("Connection", "close");
}

bool httpGet(const std::string& url, HttpResponse& response, const FetchLimits& fetchLimits) {
    const auto parsed = parseHttpUrl(url);
    if (!parsed) return false;
    // Checked before any connection: a URL that cannot be sent as it is
    // reaches no server at all.
    HttpRequest request;
    buildGetRequest(*parsed, request);
    if (!request.isSendable()) return false;
    const auto started = std::chrono::steady_clock::now();
    platform::Socket socket = platform::Socket::connectTcp(parsed->host, parsed->port, fetchLimits.connect);
    if (!socket.valid()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        fetchLimits.total - (std::chrono::steady_clock::now() - started));
    if (left.count() <= 0) return false;
    socket.setRecvTimeout(left);
    ExchangeDeadline deadline(socket, left);

    if (request.send(socket) == 0) return false;
    return response.read(socket);
}

bool isCutShort(const HttpResponse& response) {
    const auto announced = platform::parseDecimalPrefix<std::int64_t>(response.header("Content-Length"));
    return announced > 0 && static_cast<std::uint64_t>(announced) > response.body().size();
}

}  // namespace lyrebox
