// One HTTP request: read from a connection and parsed, or built and sent
// for the one outgoing request.
//
// A connection thread owns one HttpRequest and calls read() once per
// request; each read starts from a reset object, but bytes of a pipelined
// next request that arrived with this one are kept for the next read. The
// connection sets the routed name before it hands the request to the
// dispatcher; handlers read the name and the parameters from here. Not
// shared between threads.
#pragma once

#include "http/HttpParse.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

namespace platform {
class Socket;
}

namespace lyrebox {

class HttpRequest {
public:
    HttpRequest();
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Receives and parses the next request. Afterwards status() is 0 (usable),
    // -1 (connection failed or timed out: close without answer), 400, 413,
    // 431, 500 (peer closed before sending) or 501.
    void read(platform::Socket& socket);

    // Zero means no limit. The idle time-out bounds the wait for the first
    // byte of a later request on the connection; the head time-out bounds the
    // whole request from its first byte (from the call, for the first request).
    void setTimeouts(std::chrono::milliseconds idle, std::chrono::milliseconds head);

    // Writes the request (outgoing use); returns the bytes sent, 0 when the
    // request is not sendable (nothing is written then).
    std::size_t send(platform::Socket& socket) const;
    // The head as send() writes it; empty when the request is not sendable.
    std::string outgoingHead() const;
    // True when no part of the head can end its line or field early: the
    // path, query and protocol have no byte at or below 0x20 and no 0x7F;
    // header names are non-empty and have none of those nor ':'; header
    // values have no control byte other than TAB. Parts come from clients
    // (a URL to fetch), so a CR or LF there would add lines of their choice.
    bool isSendable() const;

    // The request as an HTML table for the diagnostic page, every text escaped.
    void writeHtmlDump(std::ostream& out) const;
    // The same table appended to out (the page's answer, without a stream).
    void appendHtmlDump(std::string& out) const;

    const std::string& raw() const { return raw_; }
    const std::string& path() const { return path_; }
    // The path without its leading slashes: what the router looks up.
    const std::string& name() const { return name_; }
    const std::string& query() const { return query_; }
    const std::string& protocol() const { return protocol_; }
    HttpMethod method() const { return method_; }
    int status() const { return status_; }
    const std::string& reason() const { return reason_; }
    const HeaderMap& headers() const { return headers_; }
    const ParamMap& params() const { return params_; }
    const std::string& body() const { return body_; }
    const std::string& authToken() const { return authToken_; }
    // The client's IPv4 address in host order (0 when unknown); kept across reads.
    std::uint32_t peer() const { return peer_; }
    void setPeer(std::uint32_t peer) { peer_ = peer; }
    std::string header(const std::string& name) const;
    std::string param(const std::string& name) const;

    void setMethod(HttpMethod method) { method_ = method; }
    void setPath(std::string path) { path_ = std::move(path); }
    void setName(std::string name) { name_ = std::move(name); }
    void setQuery(std::string query) { query_ = std::move(query); }
    void setProtocol(std::string protocol) { protocol_ = std::move(protocol); }
    void setHeader(const std::string& name, std::string value) { headers_[name] = std::move(value); }
    void setBody(std::string body) { body_ = std::move(body); }
    // For a request built without a connection (tests, benchmarks).
    void setParams(ParamMap params) { params_ = std::move(params); }
    void setAuthToken(std::string token) { authToken_ = std::move(token); }
    void setStatus(int status, std::string reason);

private:
    void reset();
    bool applyTimeout(platform::Socket& socket, std::chrono::milliseconds timeout);

    std::string raw_, path_, name_, query_, protocol_ = "HTTP/1.1", reason_, body_, authToken_;
    HttpMethod method_ = HttpMethod::Get;
    int status_ = 0;
    std::uint32_t peer_ = 0;
    HeaderMap headers_;
    ParamMap params_;

    // Receive buffer for heads; holds the bytes of a pipelined next request
    // between reads.
    std::unique_ptr<char[]> buffer_;
    std::size_t fill_ = 0;
    std::size_t requestsRead_ = 0;
    std::chrono::milliseconds idleTimeout_{0}, headTimeout_{0};
    std::chrono::milliseconds socketTimeout_{-1};  // what the socket has now; -1 unknown
};

// The "Host" header when it is a plain host name or address, host:port or
// [v6]:port; otherwise "" (the text ends up in pages and URLs).
std::string requestHost(const HttpRequest& request);

}  // namespace lyrebox
