// The library's fetch of other servers' play lists, made of the HTTP client.
#pragma once

#include "http/HttpClient.h"
#include "library/RemoteFetch.h"

namespace lyrebox {

// A fetch that sends one GET per URL (httpGet) within fetchLimits and hands
// over the body, marked when it was cut short. Safe to call from several
// connection threads at once: each call has its own connection.
RemoteFetch httpRemoteFetch(const FetchLimits& fetchLimits = {});

}  // namespace lyrebox
