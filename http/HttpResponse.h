// The answer to one request under construction, and the shared pieces of
// the HTTP layer's output: dates (content types: ContentTypes.h).
//
// A connection thread creates one per request and either sends it itself or
// hands it to the router, whose handler sends it. One thread uses it.
#pragma once

#include "http/ContentTypes.h"
#include "http/HttpParse.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace platform {
class Socket;
}

namespace lyrebox {

class HttpResponse {
public:
    explicit HttpResponse(platform::Socket* socket = nullptr);

    int status() const { return status_; }
    const std::string& reason() const { return reason_; }
    void setStatus(int status, std::string reason);
    const std::string& protocol() const { return protocol_; }

    const HeaderMap& headers() const { return headers_; }
    std::string header(const std::string& name) const;
    void setHeader(const std::string& name, std::string value);
    void removeHeader(const std::string& name) { headers_.erase(name); }

    const std::string& body() const { return sharedBody_ ? *sharedBody_ : body_; }
    // Also sets Content-Length.
    void setBody(std::string body);
    // A body that other answers share (a document kept between requests):
    // it goes out from its own buffer, never copied. Also sets
    // Content-Length; a null body is an empty one.
    void setSharedBody(std::shared_ptr<const std::string> body);

    // The status line and headers as they go out.
    std::string headText() const;
    std::size_t sendHead();
    // Head and body in one write, so a small answer is one segment and the
    // peer's delayed acknowledgement never holds it back.
    std::size_t send();
    // Sends the short HTML page that names a status ("<h1>404 Not Found</h1>")
    // as text/html with the status and reason; title is the page's name of
    // the status when it is spelt other than the reason.
    void sendStatusPage(int status, std::string reason, std::string_view title = {});
    // Loops until every byte is out; returns the bytes sent.
    std::size_t sendBytes(const void* data, std::size_t size);

    // Reads an answer (outgoing use). Bodies beyond the limit are cut.
    // Returns false when nothing usable arrived; fields not reached keep
    // their values.
    bool read(platform::Socket& socket);

    platform::Socket* socket() const { return socket_; }
    void setSocket(platform::Socket* socket) { socket_ = socket; }

private:
    platform::Socket* socket_;
    std::string protocol_ = "HTTP/1.1";
    int status_ = 200;
    std::string reason_ = "OK";
    HeaderMap headers_{{"Content-Type", "text/html"}};
    std::string body_;
    std::shared_ptr<const std::string> sharedBody_;  // when set, the body instead of body_
};

// RFC 1123 date as HTTP uses it, e.g. "Thu, 01 Jan 1970 00:00:00 GMT".
std::string formatHttpDate(std::int64_t secondsSince1970);

}  // namespace lyrebox
