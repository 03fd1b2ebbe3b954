// The one outgoing request of the library: a GET of another server's stream
// play list. Runs on the calling connection thread; bounded in time and size
// so that a dead or hostile server cannot hold that thread.
#pragma once

#include "library/LibraryLimits.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace lyrebox {

class HttpResponse;

struct HttpUrl {
    std::string hostPart;  // as written, port included (the "Host" header)
    std::string host;
    std::uint16_t port = 80;
    std::string path;      // from the first "/" up to "?"
    std::string query;     // after the "?"
};

// "http://host[:port]/path[?query]"; nothing when the text is not of that
// form or the host has a byte at or below 0x20 or 0x7F.
std::optional<HttpUrl> parseHttpUrl(const std::string& url);

class HttpRequest;
// The GET that httpGet sends for url: path, query, "Host" and "Connection: close".
void buildGetRequest(const HttpUrl& url, HttpRequest& request);

struct FetchLimits {
    std::chrono::milliseconds connect = limits::kRemoteConnectTimeout;
    std::chrono::milliseconds total = limits::kRemoteTotalTimeout;  // connect included
};

// One GET with "Connection: close"; the answer (any status) is read into
// response, its body cut at limits::kRemoteMaxResponseBytes. False when the
// URL is unusable (also when the request it makes is not sendable: a byte
// that could end a line or a field; then no connection is made), the server cannot be reached, or no answer arrived within
// the limits.
bool httpGet(const std::string& url, HttpResponse& response, const FetchLimits& fetchLimits = {});

}  // namespace lyrebox
