// Fetching another server's stream play list and expanding it into its
// download URLs.
#include "library/HttpGet.h"
#include "library/LibraryLimits.h"
#include "library/M3uPlaylist.h"
#include "library/MediaLibrary.h"

#include "http/HttpParse.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "platform/DecimalText.h"
#include "platform/Socket.h"

namespace lyrebox {

bool MediaLibrary::expandRemote(const std::string& url, std::vector<std::string>& items, std::uint32_t client) {
    const FetchGate::Pass pass(fetchGate_, client);
    if (!pass.admitted()) return true;
    HttpResponse response;
    if (!httpGet(url, response, fetchLimits_)) return true;
    // A body cut short (at the size bound, or by the server) ends in the
    // middle of a line; that line is not an entry.
    const auto announced = platform::parseDecimalPrefix<std::int64_t>(response.header("Content-Length"));
    const bool cut = announced > 0 && static_cast<std::uint64_t>(announced) > response.body().size();
    return parseStreamPlaylist(cut ? wholeLines(response.body()) : std::string_view(response.body()), items,
                               limits::kMaxExpansionEntries);
}

}  // namespace lyrebox
