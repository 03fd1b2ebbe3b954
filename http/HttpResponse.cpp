#include "http/HttpResponse.h"

#include "http/HttpParse.h"

#include "http/HttpLimits.h"
#include "platform/DecimalText.h"
#include "platform/Socket.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace lyrebox {

namespace {

// Below this a copy costs less than a second piece of the system call.
constexpr std::size_t kJoinedBodySize = 4096;

}  // namespace

HttpResponse::HttpResponse(platform::Socket* socket) : socket_(socket) {}

void HttpResponse::setStatus(int status, std::string reason) {
    status_ = status;
    reason_ = std::move(reason);
}

std::string HttpResponse::header(const std::string& name) const {
    auto it = headers_.find(name);
    return it == headers_.end() ? std::string() : it->second;
}

void HttpResponse::setHeader(const std::string& name, std::string value) {
    headers_[name] = std::move(value);
}

void HttpResponse::setBody(std::string body) {
    body_ = std::move(body);
    sharedBody_.reset();
    headers_["Content-Length"] = std::to_string(body_.size());
}

void HttpResponse::setSharedBody(std::shared_ptr<const std::string> body) {
    body_.clear();
    sharedBody_ = std::move(body);
    headers_["Content-Length"] = std::to_string(sharedBody_ ? sharedBody_->size() : 0);
}

void HttpResponse::sendStatusPage(int status, std::string reason, std::string_view title) {
    std::string body = "<h1>" + std::to_string(status) + " ";
    body += title.empty() ? std::string_view(reason) : title;
    body += "</h1>";
    setStatus(status, std::move(reason));
    setHeader("Content-Type", kHtmlType);
    setBody(std::move(body));
    send();
}

std::string HttpResponse::headText() const {
    std::string head;
    head.reserve(128 + headers_.size() * 48);
    head += protocol_;
    head += ' ';
    head += std::to_string(status_);
    head += ' ';
    head += reason_;
    head += "\r\n";
    appendHeaderLines(head, headers_);
    return head;
}

std::size_t HttpResponse::sendHead() {
    std::string head = headText();
    return sendBytes(head.data(), head.size());
}

std::size_t HttpResponse::send() {
    std::string head = headText();
    if (!socket_) return 0;
    // A small body joins the head in its buffer; a large one goes out
    // beside it from its own, in the same system call.
    const std::string& content = body();
    if (content.size() <= kJoinedBodySize) {
        head += content;
        return socket_->sendAll(head.data(), head.size());
    }
    return socket_->sendAll(head.data(), head.size(), content.data(), content.size());
}

std::size_t HttpResponse::sendBytes(const void* data, std::size_t size) {
    return socket_ ? socket_->sendAll(data, size) : 0;
}

bool HttpResponse::read(platform::Socket& socket) {
    std::string received;
    received.resize(http::kHeadBufferSize);
    std::size_t fill = 0;
    std::size_t headEnd = std::string::npos;
    while (fill < received.size()) {
        long n = socket.recvSome(received.data() + fill, received.size() - fill);
        if (n < 0) return false;
        if (n == 0) break;
        std::size_t scan = fill >= 3 ? fill - 3 : 0;
        fill += static_cast<std::size_t>(n);
        headEnd = findHeadEnd(std::string_view(received.data(), fill), scan);
        if (headEnd != std::string::npos) break;
    }
    received.resize(fill);
    std::string_view text(received);
    text = text.substr(0, text.find('\0'));

    std::size_t lineEnd = text.find("\r\n");
    if (lineEnd == std::string_view::npos) return false;
    std::string_view line = text.substr(0, lineEnd);
    std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    protocol_ = line.substr(0, space);
    std::string_view rest = line.substr(space + 1);
    std::size_t space2 = rest.find(' ');
    std::string_view code = rest.substr(0, space2);
    if (code.empty()) return false;
    status_ = static_cast<int>(std::clamp<std::int64_t>(platform::parseDecimalPrefix<std::int64_t>(code), -1, 999));
    reason_ = space2 == std::string_view::npos ? std::string() : std::string(rest.substr(space2 + 1));

    std::size_t terminator = text.find("\r\n\r\n");
    std::string_view lines = text.substr(lineEnd + 2);
    if (terminator != std::string_view::npos)
        lines = terminator <= lineEnd ? std::string_view() : text.substr(lineEnd + 2, terminator - lineEnd - 2);
    headers_.clear();
    parseHeaderLines(lines, headers_);

    std::int64_t announced =
        std::max<std::int64_t>(0, platform::parseDecimalPrefix<std::int64_t>(header("Content-Length")));
    std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(announced), http::kMaxResponseBodySize);
    std::size_t bodyStart = terminator == std::string_view::npos ? received.size() : terminator + 4;
    std::string body = received.substr(std::min(bodyStart, received.size()));
    if (body.size() < length) {
        std::size_t got = body.size();
        body.resize(length);
        while (got < length) {
            long n = socket.recvSome(body.data() + got, length - got);
            if (n < 0) return false;
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        body.resize(got);
    }
    body.resize(std::min(body.size(), length));
    body_ = std::move(body);
    sharedBody_.reset();
    return true;
}

std::string formatHttpDate(std::int64_t secondsSince1970) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t t = static_cast<std::time_t>(secondsSince1970);
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday], tm.tm_mday,
                  kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

}  // namespace lyrebox
