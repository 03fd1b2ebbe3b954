#include "api/HttpRemoteFetch.h"

#include "http/HttpLimits.h"
#include "http/HttpResponse.h"
#include "library/LibraryLimits.h"

namespace lyrebox {

RemoteFetch httpRemoteFetch(const FetchLimits& fetchLimits) {
    // The client reads no more than the library parses, so its own cut is
    // the one the library sees marked.
    static_assert(http::kMaxResponseBodySize <= limits::kRemoteMaxResponseBytes);
    return [fetchLimits](const std::string& url) {
        FetchedBody fetched;
        HttpResponse response;
        if (!httpGet(url, response, fetchLimits)) return fetched;
        fetched.ok = true;
        fetched.cutShort = isCutShort(response);
        fetched.body = response.body();
        return fetched;
    };
}

}  // namespace lyrebox
