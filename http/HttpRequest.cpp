#include "http/HttpRequest.h"

#include "http/HttpLimits.h"
#include "http/HttpParse.h"
#include "platform/DecimalText.h"
#include "platform/Socket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lyrebox {

using namespace std::chrono;
using http::kHeadBufferSize;
using http::kMaxBodySize;

HttpRequest::HttpRequest() = default;
HttpRequest::~HttpRequest() = default;

std::string HttpRequest::header(const std::string& name) const {
    auto it = headers_.find(name);
    return it == headers_.end() ? std::string() : it->second;
}

std::string HttpRequest::param(const std::string& name) const { return paramOf(params_, name); }

void HttpRequest::setStatus(int status, std::string reason) {
    status_ = status;
    reason_ = std::move(reason);
}

void HttpRequest::setTimeouts(milliseconds idle, milliseconds head) {
    idleTimeout_ = idle;
    headTimeout_ = head;
}

void HttpRequest::reset() {
    raw_.clear();
    path_.clear();
    name_.clear();
    query_.clear();
    protocol_.clear();
    body_.clear();
    authToken_.clear();
    headers_.clear();
    params_.clear();
    method_ = HttpMethod::Get;
    status_ = 500;
    reason_ = "Internal Server Error";
}

bool HttpRequest::applyTimeout(platform::Socket& socket, milliseconds timeout) {
    if (timeout == socketTimeout_) return true;
    socketTimeout_ = timeout;
    return socket.setRecvTimeout(timeout);
}

void HttpRequest::read(platform::Socket& socket) {
    reset();
    if (!buffer_) buffer_ = std::make_unique<char[]>(kHeadBufferSize);
    char* buf = buffer_.get();

    const bool first = requestsRead_++ == 0;
    using Clock = steady_clock;
    Clock::time_point deadline{};
    bool hasDeadline = false;
    auto startDeadline = [&] {
        if (headTimeout_.count() > 0 && !hasDeadline) {
            deadline = Clock::now() + headTimeout_;
            hasDeadline = true;
        }
    };
    if (first || fill_ > 0) startDeadline();
    // The time-out for the next receive; false once the deadline has passed.
    auto nextTimeout = [&](milliseconds& timeout) {
        if (!hasDeadline) {
            timeout = idleTimeout_.count() > 0 ? idleTimeout_ : milliseconds(0);
            return true;
        }
        auto left = duration_cast<milliseconds>(deadline - Clock::now()) + milliseconds(1);
        if (left.count() <= 1) return false;
        timeout = left;
        return true;
    };
    // One receive with the current time-out; a time-out that fires before the
    // deadline (rounding) is retried.
    auto receive = [&](char* into, std::size_t size) -> long {
        for (;;) {
            milliseconds timeout;
            if (!nextTimeout(timeout)) return -1;
            if (!applyTimeout(socket, timeout)) return -1;
            long n = socket.recvSome(into, size);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && hasDeadline) continue;
            return n;
        }
    };

    std::size_t headEnd = std::string_view::npos;
    std::size_t scanFrom = 0;
    bool full = false;
    for (;;) {
        headEnd = findHeadEnd(std::string_view(buf, fill_), scanFrom);
        if (headEnd != std::string_view::npos) break;
        if (fill_ == kHeadBufferSize) {
            full = true;
            break;
        }
        scanFrom = fill_ >= 3 ? fill_ - 3 : 0;
        long n = receive(buf + fill_, kHeadBufferSize - fill_);
        if (n < 0) {
            status_ = -1;
            fill_ = 0;
            return;
        }
        if (n == 0) break;
        if (fill_ == 0) startDeadline();
        fill_ += static_cast<std::size_t>(n);
    }
    if (fill_ == 0) return;  // peer closed before sending: 500

    const std::size_t headLength = headEnd == std::string_view::npos ? fill_ : headEnd;
    std::string_view head(buf, headLength);
    head = head.substr(0, head.find('\0'));
    raw_.assign(head);
    ParsedHead parsed = parseHead(head);
    method_ = parsed.line.method;
    path_ = std::move(parsed.line.path);
    query_ = std::move(parsed.line.query);
    protocol_ = std::move(parsed.line.protocol);
    headers_ = std::move(parsed.headers);

    if (full) {
        // The rest of this head is still in the connection; it closes after the answer.
        fill_ = 0;
        setStatus(431, "Request Header Fields Too Large");
        return;
    }
    if (parsed.line.status != 0) {
        fill_ = 0;
        setStatus(parsed.line.status, std::move(parsed.line.reason));
        return;
    }

    // The body is taken by Content-Length for both methods, so that a GET
    // with a body does not leave it to be read as the next request; only a
    // POST body counts as the request's body.
    std::int64_t announced =
        std::max<std::int64_t>(0, platform::parseDecimalPrefix<std::int64_t>(header("Content-Length")));
    if (static_cast<std::uint64_t>(announced) > kMaxBodySize) {
        fill_ = 0;
        setStatus(413, "Payload Too Large");
        return;
    }
    const std::size_t length = static_cast<std::size_t>(announced);
    std::size_t consumed = headLength;
    const std::size_t inBuffer = std::min(length, fill_ - consumed);
    std::string body(buf + consumed, inBuffer);
    consumed += inBuffer;
    fill_ -= consumed;
    if (fill_ > 0) std::memmove(buf, buf + consumed, fill_);  // the next request's bytes
    if (body.size() < length) {
        std::size_t got = body.size();
        body.resize(length);
        while (got < length) {
            long n = receive(body.data() + got, length - got);
            if (n < 0) {
                status_ = -1;
                return;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        body.resize(got);
    }
    if (method_ == HttpMethod::Post) {
        body_ = std::move(body);
        raw_ += body_;
        parseParams(body_, params_);  // body parameters win over the query's
    }
    parseParams(query_, params_);
    setStatus(0, std::string());
}

namespace {

bool isFieldByte(unsigned char byte) { return byte > 0x20 && byte != 0x7F; }

bool isFieldText(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return isFieldByte(static_cast<unsigned char>(c)); });
}

bool isHeaderValue(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte == '\t' || (byte >= 0x20 && byte != 0x7F);
    });
}

}  // namespace

bool HttpRequest::isSendable() const {
    if (path_.empty() || !isFieldText(path_) || !isFieldText(query_) || !isFieldText(protocol_)) return false;
    for (const auto& [name, value] : headers_) {
        if (name.empty() || !isFieldText(name) || name.find(':') != std::string::npos) return false;
        if (!isHeaderValue(value)) return false;
    }
    return true;
}

std::string HttpRequest::outgoingHead() const {
    if (!isSendable()) return {};
    std::string head = method_ == HttpMethod::Post ? "POST " : "GET ";
    head += path_;
    head += '?';
    head += query_;
    head += ' ';
    head += protocol_;
    head += "\r\n";
    appendHeaderLines(head, headers_);
    return head;
}

std::size_t HttpRequest::send(platform::Socket& socket) const {
    std::string head = outgoingHead();
    if (head.empty()) return 0;
    head += body_;
    return socket.sendAll(head.data(), head.size());
}

}  // namespace lyrebox
