// How the library gets another server's stream play list: a function it is
// handed, so that the library itself speaks no network protocol. The api
// hands in the HTTP client (api/HttpRemoteFetch.h); an empty function
// fetches nothing, and every remote list then expands to nothing.
#pragma once

#include <functional>
#include <string>

namespace lyrebox {

struct FetchedBody {
    // False when nothing usable came back (bad URL, no server, time-out).
    bool ok = false;
    std::string body;
    // The body ended before its announced length (cut at a size bound, or the
    // server stopped): its last line may be a piece of one.
    bool cutShort = false;
};

// Fetches url ("http://..."); called on a connection thread, several at a
// time, so it must be safe to call concurrently and bound its own time.
using RemoteFetch = std::function<FetchedBody(const std::string& url)>;

}  // namespace lyrebox
