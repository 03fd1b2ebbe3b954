// The one outgoing request: a GET of another server's stream play list.
// Runs on the calling connection thread; bounded in time and size so that a
// dead or hostile server cannot hold that thread.
#pragma once

#include "http/HttpLimits.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace lyrebox {

class HttpRequest;
class HttpResponse;

struct HttpUrl {
    std::string hostPart;  // as written, port included (the "Host" header)
    std::string host;
    std::uint16_t port = 80;
    std::string path;      // from the first "/" up to "?"
    std::string query;     // after the "?"
};

// "http://host[:port]/path[?query]"; nothing when the text is not of that
// form, the port is not 1..65535, or the host has a byte at or below 0x20 or 0x7F.
std::optional<HttpUrl> parseHttpUrl(const std::string& url);

// The GET that httpGet sends for url: path, query, "Host" and "Connection: close".
void buildGetRequest(const HttpUrl& url, HttpRequest& request);

struct FetchLimits {
    std::chrono::milliseconds connect = http::kFetchConnectTimeout;
    std::chrono::milliseconds total = http::kFetchTotalTimeout;  // connect included
};

// One GET with "Connection: close"; the answer (any status) is read into
// response, its body cut at http::kMaxResponseBodySize. False when the URL
// is unusable (also when the request it makes is not sendable: a byte that
// could end a line or a field; then no connection is made), the server
// cannot be reached, or no answer arrived within the limits.
bool httpGet(const std::string& url, HttpResponse& response, const FetchLimits& fetchLimits = {});

// Whether a read answer's body is shorter than its Content-Length: cut at
// the size bound, or the server stopped sending. Its last line may then be
// a piece of one.
bool isCutShort(const HttpResponse& response);

}  // namespace lyrebox
